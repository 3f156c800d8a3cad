#pragma once

#include <memory>

#include "call/ClientCore.h"
#include "orvane/site/SiteConnection.h"

namespace orvane::site::internal {

/// The library's connection: every call of one client's options through the pipeline. Its end
/// cancels the calls under way (each handler once with "cancelled").
class ClientConnection final : public SiteConnection {
 public:
  explicit ClientConnection(ClientOptions options);
  ~ClientConnection() override;
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

#define ORVANE_SITE_OPERATION(name, Kind, underApiPath, servicePath)               \
  Call<Kind##Response> name(Kind##Request request, const CallOptions& callOptions, \
                            std::function<void(Result<Kind##Response>)> handler) override;
#include "connection/Operations.inc"
#undef ORVANE_SITE_OPERATION

  /// The client's options, transport and executor (what its type-ahead helpers run on).
  const std::shared_ptr<ClientCore>& core() const noexcept { return core_; }

 private:
  const std::shared_ptr<ClientCore> core_;
};

/// The connection of a SiteClient made without options: each call takes its key and host from
/// the process-wide configuration (ContextDataCache::shared()) and goes out through the
/// facade's transport (defaultHttpTransport()), with ClientOptions' defaults for the rest.
/// Made on first use, never destroyed.
const std::shared_ptr<SiteConnection>& processWideConnection();

}  // namespace orvane::site::internal
