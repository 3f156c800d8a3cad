"""orvane_site: a Python client of the Orvane place-search service, over the C++ library.

    import orvane_site
    with orvane_site.Client(api_key="KEY") as client:
        sites = client.geocode(address="Paris, France").sites
"""

import atexit as _atexit

from . import _native, _records  # noqa: F401  (_records adds to_dict to the records)
from ._native import (  # noqa: F401
    AddressDetail, AutoCompletePrediction, ChildrenNode, Coordinate, CoordinateBounds,
    DetailSearchResponse, GeocodeResponse, NearbySearchResponse, OpeningHours, Period, Poi,
    QueryAutocompleteResponse, QuerySuggestionResponse, RetryPolicy, ReverseGeocodeResponse,
    Site, TextSearchResponse, TimeOfWeek, TimezoneResponse, Word)
from .client import Client  # noqa: F401
from .errors import ApiError, DecodingError, OrvaneSiteError, TransportError  # noqa: F401


def shutdown(grace: float = 2.0) -> None:
    """Waits up to `grace` seconds for calls under way, cancels the rest and stops the
    library's thread; later calls fail. Runs by itself when the interpreter exits."""
    _native.shutdown(grace)


# Handlers still due must run while the interpreter can take them.
_atexit.register(shutdown, 1.0)
