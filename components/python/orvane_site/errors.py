"""Exceptions of orvane_site: one class per error domain of the library."""

from __future__ import annotations

from typing import Any, Dict, Optional

TRANSPORT_CODES = (
    "invalid_url", "invalid_api_key", "invalid_header", "connection_failed", "timed_out",
    "tls_failure", "body_not_utf8", "server_error_after_retries", "error_reply_without_body",
    "incomplete_error_envelope", "empty_reply", "other_failure", "cancelled",
    "deadline_exceeded", "queue_full", "called_on_library_thread", "library_shut_down",
)
DECODING_CODES = ("type_mismatch", "value_not_found", "key_not_found", "data_corrupted")


class OrvaneSiteError(Exception):
    """A failed call: `domain` and `code` tell the kind, `retryable` whether the same call may
    succeed later, `user_info` carries the detail (never the API key)."""

    def __init__(self, domain: str, code: int, description: str,
                 user_info: Dict[str, str], retryable: bool) -> None:
        super().__init__(description)
        self.domain = domain
        self.code = code
        self.description = description
        self.user_info = dict(user_info)
        self.retryable = retryable

    @property
    def status_code(self) -> Optional[int]:
        """The HTTP status of the reply, when one came."""
        status = self.user_info.get("statusCode")
        return int(status) if status and status.isdigit() else None

    def __reduce__(self) -> Any:
        return (type(self), (self.domain, self.code, self.description, self.user_info,
                             self.retryable))


class ApiError(OrvaneSiteError):
    """The service answered with an error reply; `return_code` says which ("010001": the key
    was refused)."""

    @property
    def return_code(self) -> Optional[str]:
        return self.user_info.get("returnCode")

    @property
    def return_desc(self) -> Optional[str]:
        return self.user_info.get("returnDesc")


class DecodingError(OrvaneSiteError):
    """The reply did not decode; `coding_path` says where."""

    @property
    def coding_path(self) -> str:
        return self.user_info.get("codingPath", "")

    @property
    def name(self) -> str:
        return _name(DECODING_CODES, self.code)


class TransportError(OrvaneSiteError):
    """No usable reply: `name` is the code's name ("timed_out", "cancelled", ...)."""

    @property
    def name(self) -> str:
        return _name(TRANSPORT_CODES, self.code)


def _name(names: tuple, code: int) -> str:
    return names[code] if 0 <= code < len(names) else str(code)


_BY_DOMAIN = {
    "OrvaneSite.ErrorType": ApiError,
    "OrvaneSite.DecodingError": DecodingError,
    "OrvaneSite.TransportError": TransportError,
}


def from_native(error: Any) -> OrvaneSiteError:
    """The exception for an error of the compiled module."""
    kind = _BY_DOMAIN.get(error.domain, OrvaneSiteError)
    return kind(error.domain, error.code, error.description, error.user_info, error.retryable)
