"""A geopy geocoder over orvane_site: switch with one line,
`geolocator = OrvaneSite(api_key="KEY")`, and use geocode() and reverse() as with any other."""

from __future__ import annotations

from typing import Any, List, Optional, Union

from geopy import exc
from geopy.geocoders.base import DEFAULT_SENTINEL, Geocoder
from geopy.location import Location
from geopy.point import Point

from .client import Client
from .errors import ApiError, OrvaneSiteError, TransportError

__all__ = ("OrvaneSite",)

_TIMED_OUT = {"timed_out", "deadline_exceeded"}
_UNAVAILABLE = {"connection_failed", "server_error_after_retries", "queue_full"}


def _geopy_error(error: OrvaneSiteError) -> exc.GeopyError:
    if isinstance(error, ApiError):
        if error.return_code == "010001":
            return exc.GeocoderAuthenticationFailure(str(error))
        if error.status_code == 429:
            return exc.GeocoderRateLimited(str(error))
        if error.status_code == 400:
            return exc.GeocoderQueryError(str(error))
    if isinstance(error, TransportError):
        if error.name in _TIMED_OUT:
            return exc.GeocoderTimedOut(str(error))
        if error.name in _UNAVAILABLE:
            return exc.GeocoderUnavailable(str(error))
    return exc.GeocoderServiceError(str(error))


class OrvaneSite(Geocoder):
    """Geocoder of the Orvane place-search service. Give api_key (and any orvane_site.Client
    option), or a ready `client`. `timeout` (seconds) bounds each call as its deadline."""

    def __init__(self, api_key: Optional[str] = None, *, client: Optional[Client] = None,
                 timeout: Any = DEFAULT_SENTINEL, language: Optional[str] = None,
                 **client_options: Any) -> None:
        super().__init__(timeout=timeout)
        if client is None:
            if api_key is None:
                raise exc.ConfigurationError("OrvaneSite needs api_key or client")
            client = Client(api_key, **client_options)
        self.client = client
        self.language = language

    def geocode(self, query: str, *, exactly_one: bool = True, timeout: Any = DEFAULT_SENTINEL,
                language: Optional[str] = None,
                bounds: Any = None) -> Union[None, Location, List[Location]]:
        """The places that match the address `query` (the first one with exactly_one)."""
        response = self._run(self.client.geocode, timeout, address=query, bounds=bounds,
                             language=language or self.language)
        return self._locations(response.sites, exactly_one)

    def reverse(self, query: Any, *, exactly_one: bool = True, timeout: Any = DEFAULT_SENTINEL,
                language: Optional[str] = None) -> Union[None, Location, List[Location]]:
        """The places at `query`: a geopy Point, "lat, lng" text or a (lat, lng) pair."""
        point = Point(query)
        response = self._run(self.client.reverse_geocode, timeout,
                             location=(point.latitude, point.longitude),
                             language=language or self.language)
        return self._locations(response.sites, exactly_one)

    def _run(self, operation: Any, timeout: Any, **arguments: Any) -> Any:
        deadline = self.timeout if timeout is DEFAULT_SENTINEL else timeout
        try:
            return operation(deadline=deadline, **arguments)
        except OrvaneSiteError as error:
            raise _geopy_error(error) from error

    @staticmethod
    def _locations(sites: Any, exactly_one: bool) -> Union[None, Location, List[Location]]:
        found = [Location(site.format_address or site.name or "",
                          (site.location.lat, site.location.lng), site.to_dict())
                 for site in sites or () if site.location is not None]
        if not found:
            return None
        return found[0] if exactly_one else found
