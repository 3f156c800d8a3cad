#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "orvane/site/Call.h"
#include "orvane/site/CallOptions.h"
#include "orvane/site/Result.h"
#include "orvane/site/SiteConnection.h"
#include "orvane/site/TypeAheadOptions.h"
#include "typeahead/TypeAheadCore.h"

namespace orvane::site::internal {

/// The core of a type-ahead helper for one operation of the connection: each call is
/// `templateRequest` with its query set to the text.
template <class Request, class Response>
std::shared_ptr<TypeAheadCore> operationTypeAhead(
    TypeAheadSeams seams, Request templateRequest,
    std::function<void(const std::string&, Result<Response>)> handler, TypeAheadOptions options,
    Call<Response> (SiteConnection::*operation)(Request, const CallOptions&,
                                                std::function<void(Result<Response>)>)) {
  TypeAheadCore::Start start = [connection = seams.connection,
                                templateRequest = std::move(templateRequest),
                                callOptions = options.callOptions(),
                                operation](const std::string& text, TypeAheadCore::Done done) {
    Request request = templateRequest;
    request.query = text;
    Call<Response> call = ((*connection).*operation)(
        std::move(request), callOptions, [done = std::move(done)](Result<Response> result) {
          if (!result.ok()) return done(Result<BaseResponse>(std::move(result).error()));
          done(Result<BaseResponse>(std::shared_ptr<BaseResponse>(std::move(result).value())));
        });
    return std::function<void()>([call] { call.cancel(); });
  };
  TypeAheadCore::Deliver deliver = [handler = std::move(handler)](const std::string& text,
                                                                  Result<BaseResponse> result) {
    if (!handler) return;
    if (!result.ok()) return handler(text, Result<Response>(std::move(result).error()));
    // The call decoded its reply as Response, so the record is one.
    handler(text, Result<Response>(std::static_pointer_cast<Response>(std::move(result).value())));
  };
  return TypeAheadCore::create(std::move(seams), std::move(options), std::move(start),
                               std::move(deliver));
}

}  // namespace orvane::site::internal
