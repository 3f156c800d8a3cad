// Turns a position into places and prints the address parts of the nearest one.
//
//   reverse_geocode API_KEY [HOST [CA_FILE [LAT LNG]]]
#include <orvane/site.h>

#include <cstdlib>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using namespace orvane::site;

namespace {

void printPart(const char* label, const std::optional<std::string>& value) {
  if (value) std::cout << "  " << label << ": " << *value << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: reverse_geocode API_KEY [HOST [CA_FILE [LAT LNG]]]\n";
    return 2;
  }
  if (argc > 3) {
    CurlTransportOptions transport;
    transport.caInfoFile = argv[3];  // trusted in addition to the system's authorities
    setDefaultHttpTransport(std::make_shared<CurlTransport>(transport));
  }
  // The library logs each request to standard output; keep this program's output clean.
  setLogSink([](std::string_view line) { std::cerr << std::string(line) + "\n"; });

  // A per-call context: it overrides the process-wide configuration for the calls given it.
  ApiContext builder;
  builder.setApiKey(argv[1]).setMaxRetry(1).setTimeoutInterval(10);
  if (argc > 2) builder.setBaseUrl(argv[2]);
  std::shared_ptr<ApiContext> context = builder.build();

  const Coordinate position = argc > 5 ? Coordinate(std::atof(argv[4]), std::atof(argv[5]))
                                       : Coordinate(35.6895, 139.6917);  // Tokyo
  ReverseGeocodeRequest request(position, /*language=*/"en", /*returnPoi=*/true);

  std::promise<int> done;
  std::future<int> exitStatus = done.get_future();
  SiteClient::shared().reverseGeocode(
      request, context,
      [&done](std::shared_ptr<ReverseGeocodeResponse> response, std::optional<Error> error) {
        if (error) {
          std::cerr << error->domain << ' ' << error->code << ": " << error->localizedDescription
                    << '\n';
          done.set_value(1);
          return;
        }
        // Absent and empty are different: no "sites" member at all, or an empty list.
        if (!response->sites || response->sites->empty()) {
          std::cout << "no place at this position\n";
          done.set_value(0);
          return;
        }
        const Site& nearest = *response->sites->front();
        std::cout << nearest.name.value_or("(no name)") << '\n';
        printPart("address", nearest.formatAddress);
        if (nearest.address) {
          printPart("locality", nearest.address->locality);
          printPart("admin area", nearest.address->adminArea);
          printPart("country", nearest.address->country);
          printPart("country code", nearest.address->countryCode);
        }
        if (nearest.distance) std::cout << "  distance: " << *nearest.distance << '\n';
        done.set_value(0);
      });
  return exitStatus.get();
}
