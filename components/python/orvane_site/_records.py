"""to_dict() and repr() for the record classes of the compiled module."""

from typing import Any

from . import _native


def plain(value: Any) -> Any:
    """The value with every record turned into a dict and every list copied."""
    fields = getattr(type(value), "_fields", None)
    if fields is not None:
        return {name: plain(getattr(value, name)) for name in fields}
    if isinstance(value, list):
        return [plain(item) for item in value]
    return value


def _to_dict(self: Any) -> dict:
    return plain(self)


def _repr(self: Any) -> str:
    shown = ", ".join(f"{name}={getattr(self, name)!r}" for name in type(self)._fields
                      if getattr(self, name) is not None)
    return f"{type(self).__name__}({shown})"


def _equal(self: Any, other: Any) -> bool:
    return type(self) is type(other) and plain(self) == plain(other)


for _kind in vars(_native).values():
    if isinstance(_kind, type) and hasattr(_kind, "_fields"):
        _kind.to_dict = _to_dict
        _kind.__repr__ = _repr
        _kind.__eq__ = _equal
        _kind.__hash__ = None
