// A synchronous look-up with a deadline: the address is geocoded and the program waits for the
// answer, but never longer than the deadline, retries included.
//
//   lookup_with_deadline API_KEY [HOST [CA_FILE [ADDRESS]]]
#include <orvane/site.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>

using namespace orvane::site;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: lookup_with_deadline API_KEY [HOST [CA_FILE [ADDRESS]]]\n";
    return 2;
  }
  ClientOptions options;
  options.setApiKey(argv[1]);
  if (argc > 2) options.setHost(argv[2]);
  if (argc > 3) {
    CurlTransportOptions transport;
    transport.caInfoFile = argv[3];
    options.setTransport(std::make_shared<CurlTransport>(transport));
  }
  SiteClient client(options);

  const std::string address = argc > 4 ? argv[4] : "1 Raffles Place, Singapore";
  // Five seconds for the whole look-up: waiting for a connection, each attempt, each pause.
  Call<GeocodeResponse> call =
      client.geocode(GeocodeRequest(address, std::nullopt, "en"), CallOptions().setDeadline(5s));
  Result<GeocodeResponse> result = call.get();
  int status = 0;
  if (!result) {
    const Error& error = result.error();
    std::cerr << error.domain << " " << error.code << ": " << error.localizedDescription << "\n";
    status = 1;
  } else if (result.value()->sites) {
    for (const auto& site : *result.value()->sites) {
      std::cout << site->name.value_or("?") << " - " << site->formatAddress.value_or("") << "\n";
    }
  }
  shutdown(1s);
  return status;
}
