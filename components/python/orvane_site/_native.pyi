"""Type stubs of the compiled part of orvane_site: records, requests, policy, stand-in."""

import datetime
from typing import Any, Callable, Dict, List, Optional, Tuple, Union

Seconds = Union[float, datetime.timedelta]

class Coordinate:
    lat: float
    lng: float
    def __init__(self, lat: float, lng: float) -> None: ...
    def to_dict(self) -> Dict[str, Any]: ...

class CoordinateBounds:
    northeast: Coordinate
    southwest: Coordinate
    def __init__(self, northeast: Coordinate, southwest: Coordinate) -> None: ...
    def to_dict(self) -> Dict[str, Any]: ...

class _Record:
    _fields: Tuple[str, ...]
    def to_dict(self) -> Dict[str, Any]: ...

class Word(_Record):
    offset: Optional[int]
    value: Optional[str]

class AutoCompletePrediction(_Record):
    description: Optional[str]
    matched_keywords: List[Word]
    matched_words: List[Word]

class AddressDetail(_Record):
    country_code: Optional[str]
    country: Optional[str]
    admin_area: Optional[str]
    sub_admin_area: Optional[str]
    tertiary_admin_area: Optional[str]
    sub_locality: Optional[str]
    locality: Optional[str]
    thoroughfare: Optional[str]
    street_number: Optional[str]
    postal_code: Optional[str]

class TimeOfWeek(_Record):
    week: Optional[int]
    time: Optional[str]

class Period(_Record):
    open: Optional[TimeOfWeek]
    close: Optional[TimeOfWeek]

class OpeningHours(_Record):
    texts: Optional[List[str]]
    periods: Optional[List[Period]]

class ChildrenNode(_Record):
    site_id: Optional[str]
    name: Optional[str]
    format_address: Optional[str]
    location: Optional[Coordinate]
    ov_poi_types: Optional[List[str]]
    dome_and_int: Optional[str]
    dep_and_arr: Optional[str]

class Poi(_Record):
    poi_types: Optional[List[str]]
    ov_poi_types: Optional[List[str]]
    phone: Optional[str]
    international_phone: Optional[str]
    rating: Optional[float]
    website_url: Optional[str]
    opening_hours: Optional[OpeningHours]
    photo_urls: Optional[List[str]]
    price_level: Optional[int]
    business_status: Optional[str]
    children_nodes: Optional[List[ChildrenNode]]

class Site(_Record):
    site_id: Optional[str]
    name: Optional[str]
    format_address: Optional[str]
    address: Optional[AddressDetail]
    location: Optional[Coordinate]
    viewport: Optional[CoordinateBounds]
    distance: Optional[float]
    poi: Optional[Poi]
    prediction: Optional[AutoCompletePrediction]
    utc_offset: Optional[int]

class BaseResponse(_Record):
    return_code: Optional[str]
    return_desc: Optional[str]

class TextSearchResponse(BaseResponse):
    total_count: Optional[int]
    sites: Optional[List[Site]]

class NearbySearchResponse(BaseResponse):
    total_count: Optional[int]
    sites: Optional[List[Site]]

class DetailSearchResponse(BaseResponse):
    site: Optional[Site]

class QuerySuggestionResponse(BaseResponse):
    sites: Optional[List[Site]]

class QueryAutocompleteResponse(BaseResponse):
    predictions: Optional[List[AutoCompletePrediction]]
    sites: Optional[List[Site]]

class GeocodeResponse(BaseResponse):
    sites: Optional[List[Site]]

class ReverseGeocodeResponse(BaseResponse):
    sites: Optional[List[Site]]

class TimezoneResponse(BaseResponse):
    dst_offset: Optional[int]
    raw_offset: Optional[int]
    time_zone_id: Optional[str]
    time_zone_name: Optional[str]

class RetryPolicy:
    def __init__(self, max_attempts: Optional[int] = None, initial_pause: Optional[Seconds] = None,
                 multiplier: Optional[float] = None, longest_pause: Optional[Seconds] = None,
                 jitter: Optional[bool] = None, retry_budget: Optional[Seconds] = None,
                 retry_server_errors: Optional[bool] = None,
                 retry_too_many_requests: Optional[bool] = None,
                 honour_retry_after: Optional[bool] = None,
                 retry_connection_failures: Optional[bool] = None,
                 retry_timeouts: Optional[bool] = None) -> None: ...
    max_attempts: int
    initial_pause: datetime.timedelta
    multiplier: float
    longest_pause: datetime.timedelta
    jitter: bool
    retry_budget: Optional[datetime.timedelta]

class Error:
    domain: str
    code: int
    description: str
    user_info: Dict[str, str]
    retryable: bool

class Transport: ...

class CallControl:
    def cancel(self) -> None: ...
    def done(self) -> bool: ...

class StandinFault:
    @staticmethod
    def server_errors(count: int, status: int = 503) -> "StandinFault": ...
    @staticmethod
    def delay(delay: Seconds) -> "StandinFault": ...
    @staticmethod
    def error_reply(status: int, return_code: str = "") -> "StandinFault": ...
    @staticmethod
    def missing_return_code(status: int = 400) -> "StandinFault": ...
    @staticmethod
    def empty_body(status: int = 404) -> "StandinFault": ...
    @staticmethod
    def not_json() -> "StandinFault": ...
    @staticmethod
    def not_utf8() -> "StandinFault": ...
    @staticmethod
    def truncated_body() -> "StandinFault": ...
    @staticmethod
    def cut_connection() -> "StandinFault": ...
    @staticmethod
    def drop_connection() -> "StandinFault": ...
    def text(self) -> str: ...

def shutdown(grace: Seconds) -> None: ...
# Client and Standin: use orvane_site.Client and orvane_site.testing.Standin.
Client: Any
Standin: Any
