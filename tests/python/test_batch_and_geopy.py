import pytest
from geopy import exc
from geopy.extra.rate_limiter import RateLimiter
from geopy.location import Location

import orvane_site
from orvane_site.geocoder import OrvaneSite

CITIES = ["Paris", "Tokyo", "Berlin", "Lima", "Cairo"]


@pytest.mark.parametrize("concurrency", [1, 7])
def test_geocode_many_yields_in_input_order_each_result_or_error(client, concurrency):
    items = [CITIES[i % len(CITIES)] if i % 50 else {"address": "Paris", "deadline_": 1}
             for i in range(1, 201)]
    results = list(client.geocode_many(iter(items), concurrency=concurrency, language="en"))
    assert len(results) == len(items)
    for item, result in zip(items, results):
        if isinstance(item, dict):
            assert isinstance(result, TypeError)
        else:
            assert result.sites[0].name == item


def test_reverse_and_timezone_many_take_positions_and_common_arguments(client):
    points = [(48.8566, 2.3522), (35.68, 139.69)]
    names = [r.sites[0].name for r in client.reverse_geocode_many(points, concurrency=2)]
    zones = [r.time_zone_id for r in client.timezone_many(points, timestamp=1700000000)]
    assert names == ["Paris", "Tokyo"] and zones == ["Europe/Paris", "Asia/Tokyo"]


def test_the_geopy_geocoder_through_geopys_rate_limiter(standin, client):
    geolocator = OrvaneSite(client=client, timeout=5)
    geocode = RateLimiter(geolocator.geocode, min_delay_seconds=0)
    reverse = RateLimiter(geolocator.reverse, min_delay_seconds=0)
    paris = geocode("Paris, France")
    assert isinstance(paris, Location) and paris.address.endswith("Paris, France")
    assert reverse(f"{paris.latitude}, {paris.longitude}").raw["name"] == "Paris"
    assert geocode("Nowhere at all") is None
    assert len(geolocator.geocode("Tokyo", exactly_one=False)) == 1
    refused = OrvaneSite(api_key="wrong-key", host=standin.host,
                         transport=standin._native.transport)
    with pytest.raises(exc.GeocoderAuthenticationFailure):
        refused.geocode("Paris")
