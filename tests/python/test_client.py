import asyncio
import datetime
import sys
import threading

import pytest

import orvane_site
from conftest import FORMS, call
from orvane_site.testing import Fault

PARIS = (48.8566, 2.3522)

# operation, arguments, response class, what the stand-in's data set answers
OPERATIONS = [
    ("text_search", dict(query="Paris"), orvane_site.TextSearchResponse,
     lambda r: r.sites[0].name == "Paris" and r.total_count == 1),
    ("nearby_search", dict(location=PARIS, radius=50000), orvane_site.NearbySearchResponse,
     lambda r: r.sites[0].name == "Paris"),
    ("detail_search", dict(site_id="11c3720e888e31af"), orvane_site.DetailSearchResponse,
     lambda r: r.site.name == "Paris"),
    ("query_suggestion", dict(query="Par"), orvane_site.QuerySuggestionResponse,
     lambda r: r.sites[0].name == "Paramaribo"),
    ("query_autocomplete", dict(query="Par"), orvane_site.QueryAutocompleteResponse,
     lambda r: r.predictions[0].matched_words[0].value == "Paramaribo"),
    ("geocode", dict(address="Paris, France"), orvane_site.GeocodeResponse,
     lambda r: r.to_dict()["sites"][0]["address"]["country_code"] == "FR"),
    ("reverse_geocode", dict(location=orvane_site.Coordinate(*PARIS)),
     orvane_site.ReverseGeocodeResponse, lambda r: r.sites[0].name == "Paris"),
    ("timezone", dict(location=PARIS, timestamp=1700000000), orvane_site.TimezoneResponse,
     lambda r: r.time_zone_id == "Europe/Paris"),
]


@pytest.mark.parametrize("form", FORMS)
@pytest.mark.parametrize("operation,arguments,kind,answered", OPERATIONS,
                         ids=[row[0] for row in OPERATIONS])
def test_each_operation_in_each_form(client, form, operation, arguments, kind, answered):
    response = call(client, form, operation, **arguments)
    assert isinstance(response, kind) and response.return_code == "0"
    assert answered(response)


# fault of the key, client options, error class, code name, retryable, detail checked
ERRORS = [
    (None, {}, orvane_site.ApiError, None, False, lambda e: e.return_code == "010001"
     and e.status_code == 403),
    (Fault.error_reply(429), dict(retry=orvane_site.RetryPolicy(max_attempts=1)),
     orvane_site.ApiError, None, True,
     lambda e: e.return_code == "010429"),
    (Fault.not_json(), {}, orvane_site.DecodingError, "data_corrupted", False,
     lambda e: e.coding_path == ""),
    (Fault.server_errors(5), dict(retry=orvane_site.RetryPolicy(max_attempts=1)),
     orvane_site.TransportError, "server_error_after_retries", True, lambda e: True),
    (Fault.delay(datetime.timedelta(seconds=5)), dict(deadline=0.2),
     orvane_site.TransportError, "deadline_exceeded", True, lambda e: True),
]


@pytest.mark.parametrize("form", FORMS)
@pytest.mark.parametrize("fault,options,kind,name,retryable,detail", ERRORS,
                         ids=["key-rejected", "429", "not-json", "5xx", "deadline"])
def test_errors_are_mapped_with_their_codes(standin, form, fault, options, kind, name,
                                            retryable, detail):
    key = standin.api_key_with_faults(fault) if fault else "wrong-key"
    with standin.client(key, **options) as failing, pytest.raises(kind) as raised:
        call(failing, form, "geocode", address="Paris")
    assert raised.value.retryable is retryable and detail(raised.value)
    assert name is None or raised.value.name == name


def sent(standin, key, count):
    """Whether `count` requests with `key` reach the stand-in within two seconds."""
    for _ in range(200):
        if standin.requests_for_key(key) >= count:
            return True
        threading.Event().wait(0.01)
    return False


def test_five_hundred_concurrent_awaits_and_a_cancelled_one(standin):
    slow = standin.api_key_with_faults(Fault.delay(datetime.timedelta(seconds=3)), tag="async")

    async def scenario():
        with standin.client() as fast, standin.client(slow, max_in_flight=1) as one_at_a_time:
            zones = await asyncio.gather(
                *[fast.timezone_async(location=PARIS, timestamp=i) for i in range(500)])
            stuck = asyncio.ensure_future(one_at_a_time.geocode_async(address="Paris"))
            queued = asyncio.ensure_future(one_at_a_time.geocode_async(address="Paris",
                                                                       deadline=2))
            await asyncio.sleep(0)
            assert await asyncio.to_thread(sent, standin, slow, 1)
            stuck.cancel()
            with pytest.raises(asyncio.CancelledError):
                await stuck
            # The cancelled call gave back the client's only place: the queued one is sent.
            assert await asyncio.to_thread(sent, standin, slow, 2)
            queued.cancel()
            return zones

    zones = asyncio.run(scenario())
    assert {zone.time_zone_id for zone in zones} == {"Europe/Paris"}


def test_a_cancelled_future_cancels_its_call(standin):
    slow = standin.api_key_with_faults(Fault.delay(datetime.timedelta(seconds=3)), tag="future")
    with standin.client(slow, max_in_flight=1) as one_at_a_time:
        stuck = one_at_a_time.geocode_future(address="Paris")
        queued = one_at_a_time.geocode_future(address="Paris", deadline=2)
        assert sent(standin, slow, 1) and stuck.cancel()
        assert sent(standin, slow, 2)
        queued.cancel()


def test_a_callback_that_raises_is_reported_and_the_client_goes_on(client, monkeypatch):
    reported = threading.Event()
    monkeypatch.setattr(sys, "unraisablehook",
                        lambda hook: reported.set() if isinstance(hook.exc_value,
                                                                  ZeroDivisionError) else None)
    request = orvane_site._native.TimezoneRequest(location=PARIS, timestamp=0)
    client._native._start_timezone(request, None, lambda response, error: 1 / 0)
    assert reported.wait(timeout=10)
    assert client.timezone(location=PARIS, timestamp=0).time_zone_id == "Europe/Paris"
