// The type-ahead helpers on fake time: quiet time, minimum length, superseded calls, no stale
// delivery, the memo, and destruction with work under way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/QuerySuggestionTypeAhead.h"
#include "orvane/site/QueryTypeAhead.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/FakeTransport.h"
#include "orvane/site/testing/MockSiteConnection.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using ::testing::_;
using testkit::FakeTransport;

QueryAutocompleteRequest templateRequest() {
  return QueryAutocompleteRequest("", Coordinate(1.29, 103.85), 5000, "en", std::nullopt);
}

std::string queryOf(const HttpRequest& request) {
  return nlohmann::json::parse(request.body.value_or("{}")).value("query", std::string());
}

// A reply whose one prediction names the query it answers.
std::string replyTo(const HttpRequest& request) {
  return nlohmann::json{{"returnCode", "0"},
                        {"returnDesc", "OK"},
                        {"predictions",
                         {{{"description", queryOf(request)},
                           {"matchedKeywords", nlohmann::json::array()},
                           {"matchedWords", nlohmann::json::array()}}}}}
      .dump();
}

// What the handler saw: the text, and the prediction of its result or the error code.
struct Delivery {
  std::string text;
  std::string answer;
  bool operator==(const Delivery& other) const {
    return text == other.text && answer == other.answer;
  }
};

void PrintTo(const Delivery& delivery, std::ostream* out) {
  *out << delivery.text << " -> " << delivery.answer;
}

std::string answerOf(const Result<QueryAutocompleteResponse>& result) {
  if (!result.ok()) return "error " + std::to_string(result.error().code);
  const auto& predictions = result.value()->predictions;
  return predictions && !predictions->empty() ? predictions->front().description.value_or("")
                                              : std::string("none");
}

class TypeAheadTest : public ::testing::Test {
 protected:
  // Handlers go to a queue that the test runs, so the test sees which executor delivered.
  ClientOptions options() {
    ClientOptions options;
    options.setApiKey("KEY").setHost("127.0.0.1:8443").setTransport(transport_).setDeadline(60s);
    options.setHandlerExecutor(
        [this](std::function<void()> task) { handlerTasks_.push_back(std::move(task)); });
    return options;
  }

  std::unique_ptr<QueryTypeAhead> typeAhead(SiteClient& client, TypeAheadOptions typeOptions) {
    return std::make_unique<QueryTypeAhead>(
        client, templateRequest(),
        [this](const std::string& text, Result<QueryAutocompleteResponse> result) {
          delivered_.push_back({text, answerOf(result)});
        },
        typeOptions);
  }

  // Runs posted tasks and queued handlers until neither is left.
  void settle() {
    do {
      transport_->runPosted();
    } while (runHandlers());
  }
  bool runHandlers() {
    if (handlerTasks_.empty()) return false;
    while (!handlerTasks_.empty()) {
      std::function<void()> task = std::move(handlerTasks_.front());
      handlerTasks_.pop_front();
      task();
    }
    return true;
  }

  // Fires timers until the fake clock reaches `until`, noting when each request goes out.
  void runUntil(std::chrono::nanoseconds until) {
    bool reached = false;
    transport_->runAfter(until - transport_->now(), [&reached] { reached = true; });
    settle();
    noteSent();
    while (!reached && transport_->fireNextTimer()) {
      settle();
      noteSent();
    }
  }
  void noteSent() {
    const std::vector<HttpRequest> requests = transport_->requests();
    for (std::size_t i = sent_.size(); i < requests.size(); ++i) {
      sent_.emplace_back(std::chrono::duration_cast<std::chrono::milliseconds>(transport_->now()),
                         queryOf(requests[i]));
    }
  }
  // Answers every request not yet answered, oldest first.
  void answerAll() {
    const std::vector<HttpRequest> requests = transport_->requests();
    const std::size_t answered = requests.size() - transport_->pendingRequestCount();
    for (std::size_t i = answered; i < requests.size(); ++i) {
      transport_->reply(200, replyTo(requests[i]));
    }
    settle();
  }
  void TearDown() override { transport_->dropPending(); }

  std::shared_ptr<FakeTransport> transport_ = std::make_shared<FakeTransport>();
  std::deque<std::function<void()>> handlerTasks_;
  std::vector<Delivery> delivered_;
  std::vector<std::pair<std::chrono::milliseconds, std::string>> sent_;
};

TEST_F(TypeAheadTest, WaitsForTheQuietTimeAndSkipsShortTexts) {
  using Sent = std::vector<std::pair<std::chrono::milliseconds, std::string>>;
  struct Keystroke {
    std::chrono::milliseconds at;
    const char* text;
  };
  struct Case {
    const char* name;
    std::size_t minimumLength;
    std::chrono::milliseconds quietTime;
    std::vector<Keystroke> typed;
    Sent expected;  // when each call went out, and its query
  };
  const Case cases[] = {
      {"a pause past the quiet time sends each",
       1,
       250ms,
       {{0ms, "S"}, {300ms, "Si"}},
       {{250ms, "S"}, {550ms, "Si"}}},
      {"faster typing sends the last text only",
       1,
       250ms,
       {{0ms, "S"}, {100ms, "Si"}, {200ms, "Sin"}},
       {{450ms, "Sin"}}},
      {"the quiet time is the option's", 1, 40ms, {{0ms, "Si"}, {30ms, "Sin"}}, {{70ms, "Sin"}}},
      {"a zero quiet time sends at once",
       1,
       0ms,
       {{0ms, "Si"}, {100ms, "Sin"}},
       {{0ms, "Si"}, {100ms, "Sin"}}},
      {"below the minimum length nothing goes", 3, 250ms, {{0ms, "S"}, {100ms, "Si"}}, {}},
      {"at the minimum length it goes", 3, 250ms, {{0ms, "Si"}, {100ms, "Sin"}}, {{350ms, "Sin"}}},
      {"characters count, not bytes",
       2,
       250ms,
       {{0ms, "\xC3\xA9"}, {500ms, "\xC3\xA9t"}},
       {{750ms, "\xC3\xA9t"}}},
      {"a text cut below the minimum stops the one pending",
       2,
       250ms,
       {{0ms, "Si"}, {100ms, "S"}},
       {}},
      {"the same text again changes nothing",
       1,
       250ms,
       {{0ms, "Si"}, {200ms, "Si"}},
       {{250ms, "Si"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transport_ = std::make_shared<FakeTransport>();
    sent_.clear();
    SiteClient client(options());
    auto helper = typeAhead(
        client, TypeAheadOptions().setMinimumLength(c.minimumLength).setQuietTime(c.quietTime));
    for (const Keystroke& key : c.typed) {
      transport_->runAfter(key.at,
                           [&helper, text = std::string(key.text)] { helper->setText(text); });
    }
    runUntil(c.typed.back().at + 10s);
    EXPECT_EQ(sent_, c.expected);
    helper.reset();
    transport_->dropPending();
  }
}

TEST_F(TypeAheadTest, SendsTheTemplateWithTheTextAndDeliversItsResult) {
  SiteClient client(options());
  auto helper = typeAhead(client, TypeAheadOptions());
  helper->setText("Sing");
  runUntil(250ms);
  ASSERT_EQ(transport_->requestCount(), 1U);
  const auto body = nlohmann::json::parse(transport_->lastRequest().body.value_or("{}"));
  EXPECT_EQ(body.value("query", ""), "Sing");
  EXPECT_EQ(body.value("language", ""), "en");
  EXPECT_EQ(body.value("radius", 0), 5000);
  answerAll();
  EXPECT_EQ(delivered_, (std::vector<Delivery>{{"Sing", "Sing"}}));
}

TEST_F(TypeAheadTest, CancelsTheCallANewerTextSupersedes) {
  SiteClient client(options());
  auto helper = typeAhead(client, TypeAheadOptions());
  helper->setText("Si");
  runUntil(250ms);
  ASSERT_EQ(transport_->requestCount(), 1U);
  helper->setText("Sin");
  settle();
  EXPECT_EQ(transport_->cancelledRequests(), std::vector<std::size_t>{0});  // at the keystroke
  runUntil(500ms);
  ASSERT_EQ(transport_->requestCount(), 2U);
  answerAll();
  EXPECT_EQ(delivered_, (std::vector<Delivery>{{"Sin", "Sin"}}));
}

// Replies that overtake each other, or arrive after their call was cancelled (the reply was
// already on its way): a connection whose cancel does nothing, answered in every order.
TEST_F(TypeAheadTest, DeliversOnlyTheNewestTextWhateverOrderRepliesArrive) {
  const std::vector<std::string> texts = {"Si", "Sin", "Sing"};
  std::vector<std::size_t> order = {0, 1, 2};
  // A client on an application's connection runs the helper's timers on the default transport.
  struct DefaultTransport {
    explicit DefaultTransport(std::shared_ptr<HttpTransport> t) { setDefaultHttpTransport(t); }
    ~DefaultTransport() { setDefaultHttpTransport(nullptr); }
  } useFake(transport_);
  do {
    SCOPED_TRACE(::testing::PrintToString(order));
    auto connection = std::make_shared<testkit::MockSiteConnection>();
    std::vector<std::function<void(Result<QueryAutocompleteResponse>)>> handlers;
    EXPECT_CALL(*connection, queryAutocomplete(_, _, _))
        .Times(3)
        .WillRepeatedly([&handlers](QueryAutocompleteRequest request, const CallOptions&,
                                    std::function<void(Result<QueryAutocompleteResponse>)> h) {
          EXPECT_EQ(request.query, std::string("Sing").substr(0, handlers.size() + 2));
          handlers.push_back(std::move(h));
          return Call<QueryAutocompleteResponse>();
        });
    SiteClient client(connection);
    delivered_.clear();
    auto helper = typeAhead(client, TypeAheadOptions());
    for (const std::string& text : texts) {
      helper->setText(text);
      transport_->runUntilIdle();
    }
    ASSERT_EQ(handlers.size(), 3U);
    for (std::size_t index : order) {
      auto response = std::make_shared<QueryAutocompleteResponse>();
      response->predictions = std::vector<AutoCompletePrediction>(1);
      response->predictions->front().description = texts[index];
      handlers[index](response);
      transport_->runUntilIdle();
    }
    EXPECT_EQ(delivered_, (std::vector<Delivery>{{"Sing", "Sing"}}));
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(TypeAheadTest, AnswersARememberedTextOnTheExecutorWithoutACall) {
  struct Case {
    const char* name;
    std::size_t memoSize;
    std::vector<const char*> typed;  // each answered before the next
    long status;                     // of every reply
    std::size_t expectedRequests;
  };
  const Case cases[] = {
      {"memo off: every text is a call", 0, {"Si", "Sin", "Si"}, 200, 3},
      {"memo on: typing back needs no call", 2, {"Si", "Sin", "Si"}, 200, 2},
      {"the least recent is forgotten", 1, {"Si", "Sin", "Si"}, 200, 3},
      {"a failure is not remembered", 2, {"Si", "Sin", "Si"}, 404, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transport_ = std::make_shared<FakeTransport>();
    SiteClient client(options().setRetryPolicy(RetryPolicy().setMaxAttempts(1)));
    auto helper = typeAhead(client, TypeAheadOptions().setMemoSize(c.memoSize));
    delivered_.clear();
    for (const char* text : c.typed) {
      helper->setText(text);
      runUntil(transport_->now() + 250ms);
      const std::vector<HttpRequest> requests = transport_->requests();
      if (transport_->pendingRequestCount() > 0) {
        transport_->reply(c.status, replyTo(requests.back()));
      }
      settle();
    }
    EXPECT_EQ(transport_->requestCount(), c.expectedRequests);
    ASSERT_EQ(delivered_.size(), c.typed.size());
    EXPECT_EQ(delivered_.back().text, "Si");
    if (c.status == 200) {
      EXPECT_EQ(delivered_.back().answer, "Si");
    }
  }
}

TEST_F(TypeAheadTest, ARememberedAnswerComesOnTheExecutorAtOnce) {
  SiteClient client(options());
  auto helper = typeAhead(client, TypeAheadOptions().setMemoSize(4));
  helper->setText("Si");
  runUntil(250ms);
  answerAll();
  helper->setText("Sin");
  helper->setText("Si");  // back before the quiet time is over
  EXPECT_EQ(delivered_.size(), 1U) << "not inside setText";
  ASSERT_EQ(handlerTasks_.size(), 1U);
  runHandlers();
  EXPECT_EQ(delivered_.back(), (Delivery{"Si", "Si"}));
  transport_->runUntilIdle();
  EXPECT_EQ(transport_->requestCount(), 1U);
}

TEST_F(TypeAheadTest, DestroyedWithWorkUnderWayItNeverCallsTheHandler) {
  enum class Stage { timerPending, callInFlight, rememberedAnswerQueued, replyQueued };
  for (Stage stage : {Stage::timerPending, Stage::callInFlight, Stage::rememberedAnswerQueued,
                      Stage::replyQueued}) {
    SCOPED_TRACE(static_cast<int>(stage));
    transport_ = std::make_shared<FakeTransport>();
    handlerTasks_.clear();
    SiteClient client(options());
    auto helper = typeAhead(client, TypeAheadOptions().setMemoSize(4));
    helper->setText("Si");
    if (stage != Stage::timerPending) runUntil(250ms);
    if (stage == Stage::rememberedAnswerQueued) {
      answerAll();
      helper->setText("Sin");
      helper->setText("Si");
    }
    if (stage == Stage::replyQueued) {
      transport_->reply(200, replyTo(transport_->lastRequest()));
      transport_->runPosted();  // the handler now waits on the executor
    }
    delivered_.clear();
    const std::size_t sentBefore = transport_->requestCount();
    helper.reset();
    if (stage == Stage::callInFlight) {
      EXPECT_EQ(transport_->cancelledRequests(), std::vector<std::size_t>{0});
    }
    transport_->runUntilIdle();
    settle();
    EXPECT_TRUE(delivered_.empty());
    EXPECT_EQ(transport_->requestCount(), sentBefore);
  }
}

TEST_F(TypeAheadTest, MayBeDestroyedInsideItsOwnHandler) {
  SiteClient client(options());
  std::unique_ptr<QuerySuggestionTypeAhead> helper;
  int calls = 0;
  helper = std::make_unique<QuerySuggestionTypeAhead>(
      client,
      QuerySuggestionRequest("", std::nullopt, std::nullopt, std::nullopt, std::nullopt, "SG", "en",
                             std::nullopt),
      [&](const std::string&, Result<QuerySuggestionResponse> result) {
        EXPECT_TRUE(result.ok());
        ++calls;
        helper.reset();
      });
  helper->setText("Orchard");
  runUntil(250ms);
  EXPECT_NE(transport_->lastRequest().url.find("querySuggestion"), std::string::npos);
  transport_->reply(200, R"({"returnCode":"0","returnDesc":"OK"})");
  settle();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(helper, nullptr);
}

}  // namespace
}  // namespace orvane::site
