#pragma once

// The testing kit for applications (CMake target OrvaneSite::Testing): the local stand-in of
// the service started in-process, its faults, GoogleMocks of SiteClientProtocol (the facade's
// forms) and of SiteConnection (the Call forms), ready-made Calls for the mocks' answers, and
// transports that answer a client's requests without a server (FakeTransport on a fake clock,
// step by step; AutoAnsweringTransport from a function, on a thread of its own), and cassettes
// (RecordingTransport writes a client's exchanges to one, ReplayTransport answers from it).
// In test files, write `namespace site = orvane::site;` rather than `using namespace
// orvane::site;`: orvane::site::testkit would otherwise meet GoogleTest's ::testing.

#include "orvane/site/testing/AutoAnsweringTransport.h"
#include "orvane/site/testing/FakeTransport.h"
#include "orvane/site/testing/HttpReplies.h"
#include "orvane/site/testing/MockSiteClient.h"
#include "orvane/site/testing/MockSiteConnection.h"
#include "orvane/site/testing/ReadyCall.h"
#include "orvane/site/testing/RecordingTransport.h"
#include "orvane/site/testing/ReplayTransport.h"
#include "orvane/site/testing/Standin.h"
#include "orvane/site/testing/StandinFault.h"
