import asyncio

import pytest

from orvane_site.testing import Standin

FORMS = ("blocking", "future", "async")


@pytest.fixture(scope="session")
def standin():
    with Standin() as server:
        yield server


@pytest.fixture(scope="session")
def client(standin):
    with standin.client() as shared:
        yield shared


def call(client, form, operation, **arguments):
    """One call of `operation` in `form`, returning its response or raising its error."""
    if form == "blocking":
        return getattr(client, operation)(**arguments)
    if form == "future":
        return getattr(client, operation + "_future")(**arguments).result(timeout=10)
    return asyncio.run(getattr(client, operation + "_async")(**arguments))
