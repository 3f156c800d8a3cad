"""The client: eight operations, each blocking, as a concurrent.futures.Future and awaitable."""

from __future__ import annotations

import asyncio
import collections
import concurrent.futures
from typing import Any, Callable, Dict, Iterable, Iterator, Optional, Union

from . import _native
from .errors import OrvaneSiteError, from_native

# Each operation and the request class that takes its keyword arguments.
OPERATIONS: Dict[str, type] = {
    "text_search": _native.TextSearchRequest,
    "nearby_search": _native.NearbySearchRequest,
    "detail_search": _native.DetailSearchRequest,
    "query_suggestion": _native.QuerySuggestionRequest,
    "query_autocomplete": _native.QueryAutocompleteRequest,
    "geocode": _native.GeocodeRequest,
    "reverse_geocode": _native.ReverseGeocodeRequest,
    "timezone": _native.TimezoneRequest,
}


_DURATIONS = ("attempt_timeout", "deadline")


def _duration(value: Any) -> Any:
    """Seconds as the compiled module takes them: a float or a timedelta (None: the default)."""
    return float(value) if isinstance(value, int) and not isinstance(value, bool) else value


def _settle_future(future: concurrent.futures.Future, response: Any, error: Any) -> None:
    try:
        if error is None:
            future.set_result(response)
        else:
            future.set_exception(from_native(error))
    except concurrent.futures.InvalidStateError:
        pass  # cancelled by its owner meanwhile


def _settle_awaitable(future: asyncio.Future, response: Any, error: Any) -> None:
    if future.done():
        return
    if error is None:
        future.set_result(response)
    else:
        future.set_exception(from_native(error))


def _outcome(future: Any) -> Any:
    if isinstance(future, Exception):
        return future
    try:
        return future.result()
    except OrvaneSiteError as error:
        return error


class Client:
    """An option client of the place-search service.

    Options are keyword arguments: api_key, host, attempt_timeout and deadline (seconds or
    timedelta), retry (a RetryPolicy), rate_limit (calls a second) with rate_burst,
    max_in_flight, max_queued_calls, max_connections_per_host, max_connections, ca_file or
    ca_pem (CAs trusted besides the system's), proxy and no_proxy, handler_threads (threads
    that hand results to Python; the library's own thread never waits for the GIL).

    Each operation comes in three forms, e.g. geocode(address=...) blocks (without the GIL),
    geocode_future(...) returns a concurrent.futures.Future and geocode_async(...) is awaited
    in a running asyncio loop; cancelling the future or the task cancels the call. Every form
    takes deadline= for that one call. Failures raise OrvaneSiteError subclasses.
    """

    def __init__(self, api_key: str, **options: Any) -> None:
        for name in _DURATIONS:
            if name in options:
                options[name] = _duration(options[name])
        self._native = _native.Client(api_key, **options)

    def close(self) -> None:
        """Ends the client; its calls under way end with TransportError "cancelled"."""
        self._native.close()

    def __enter__(self) -> "Client":
        return self

    def __exit__(self, *_: Any) -> None:
        self.close()

    def _call(self, name: str, request: Any, deadline: Any) -> Any:
        response, error = getattr(self._native, "_run_" + name)(request,
                                                               _duration(deadline))
        if error is not None:
            raise from_native(error)
        return response

    def _future(self, name: str, request: Any, deadline: Any) -> concurrent.futures.Future:
        future: concurrent.futures.Future = concurrent.futures.Future()
        control = getattr(self._native, "_start_" + name)(
            request, _duration(deadline),
            lambda response, error: _settle_future(future, response, error))
        future.add_done_callback(lambda done: control.cancel() if done.cancelled() else None)
        return future

    async def _awaitable(self, name: str, request: Any, deadline: Any) -> Any:
        loop = asyncio.get_running_loop()
        future = loop.create_future()

        def settle(response: Any, error: Any) -> None:
            try:
                loop.call_soon_threadsafe(_settle_awaitable, future, response, error)
            except RuntimeError:
                pass  # the loop was closed before the call ended

        control = getattr(self._native, "_start_" + name)(request, _duration(deadline),
                                                            settle)
        try:
            return await future
        except asyncio.CancelledError:
            control.cancel()
            raise

    def _many(self, name: str, items: Iterable[Any], concurrency: int, deadline: Any,
              common: Dict[str, Any]) -> Iterator[Any]:
        if concurrency < 1:
            raise ValueError("concurrency must be at least 1")
        request_type = OPERATIONS[name]
        window: collections.deque = collections.deque()
        try:
            for item in items:
                try:
                    if isinstance(item, dict):
                        request = request_type(**{**common, **item})
                    else:
                        request = request_type(item, **common)
                    window.append(self._future(name, request, deadline))
                except (TypeError, ValueError) as unusable:  # this item's own outcome
                    window.append(unusable)
                if len(window) >= concurrency:
                    yield _outcome(window.popleft())
            while window:
                yield _outcome(window.popleft())
        finally:
            for future in window:
                if isinstance(future, concurrent.futures.Future):
                    future.cancel()

    def geocode_many(self, items: Iterable[Union[str, Dict[str, Any]]], concurrency: int = 16,
                     deadline: Any = None, **common: Any) -> Iterator[Any]:
        """Geocodes each item (an address, or a dict of geocode's arguments) with up to
        `concurrency` calls in flight, yielding in input order the response or the
        OrvaneSiteError of each (an item that makes no request yields its TypeError or
        ValueError); `common` arguments apply to every item. At most `concurrency` results
        are held at once, whatever the input's length."""
        return self._many("geocode", items, concurrency, deadline, common)

    def reverse_geocode_many(self, items: Iterable[Any], concurrency: int = 16,
                             deadline: Any = None, **common: Any) -> Iterator[Any]:
        """As geocode_many, for positions ((lat, lng), a Coordinate or a dict)."""
        return self._many("reverse_geocode", items, concurrency, deadline, common)

    def timezone_many(self, items: Iterable[Any], concurrency: int = 16, deadline: Any = None,
                      **common: Any) -> Iterator[Any]:
        """As geocode_many, for positions or dicts; give timestamp= in `common` or each dict."""
        return self._many("timezone", items, concurrency, deadline, common)


def _add_operation(name: str, request_type: type) -> None:
    def blocking(self: Client, *args: Any, deadline: Any = None, **kwargs: Any) -> Any:
        return self._call(name, request_type(*args, **kwargs), deadline)

    def future(self: Client, *args: Any, deadline: Any = None,
               **kwargs: Any) -> concurrent.futures.Future:
        return self._future(name, request_type(*args, **kwargs), deadline)

    async def awaitable(self: Client, *args: Any, deadline: Any = None, **kwargs: Any) -> Any:
        return await self._awaitable(name, request_type(*args, **kwargs), deadline)

    forms: Dict[str, Callable] = {name: blocking, name + "_future": future,
                                  name + "_async": awaitable}
    for method_name, method in forms.items():
        method.__name__ = method_name
        method.__qualname__ = "Client." + method_name
        method.__doc__ = f"{name}: the arguments of {request_type.__name__}."
        setattr(Client, method_name, method)


for _name, _request_type in OPERATIONS.items():
    _add_operation(_name, _request_type)
