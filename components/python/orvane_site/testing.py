"""The local stand-in of the service, for tests without a key or network."""

from __future__ import annotations

from typing import Any, Iterable

from . import _native
from .client import Client

Fault = _native.StandinFault


class Standin:
    """A real HTTPS server on 127.0.0.1 (a free port) answering the eight operations, with a CA
    made for it that its clients trust. Faults: api_key_with_faults(Fault.server_errors(3))."""

    def __init__(self, accepted_keys: Iterable[str] = (), port: int = 0,
                 connections: int = 64) -> None:
        self._native = _native.Standin(list(accepted_keys), port, connections)

    host = property(lambda self: self._native.host, doc="'127.0.0.1:<port>'")
    port = property(lambda self: self._native.port)
    api_key = property(lambda self: self._native.api_key, doc="A key it accepts.")
    ca_certificate_pem = property(lambda self: self._native.ca_certificate_pem)
    request_count = property(lambda self: self._native.request_count)

    def api_key_with_faults(self, *faults: Any, tag: str = "") -> str:
        """An accepted key that makes every request made with it meet `faults`, in order."""
        return self._native.api_key_with_faults(list(faults), tag)

    def requests_for_key(self, key: str) -> int:
        return self._native.requests_for_key(key)

    def reset_counters(self) -> None:
        self._native.reset_counters()

    def client(self, api_key: Any = None, **options: Any) -> Client:
        """A client of this stand-in (its host, a key it accepts, its CA trusted)."""
        return Client(api_key if api_key is not None else self.api_key, host=self.host,
                      transport=self._native.transport, **options)

    def stop(self) -> None:
        self._native.stop()

    def __enter__(self) -> "Standin":
        return self

    def __exit__(self, *_: Any) -> None:
        self.stop()
