// Finds places matching a free-text query and prints one line per place.
//
//   text_search API_KEY [HOST [CA_FILE [QUERY [LAT LNG RADIUS_M]]]]
//
// With LAT, LNG and RADIUS_M only places within RADIUS_M metres of that point are found,
// nearest first; without them the query alone decides.
// HOST and CA_FILE point the library at another server than the service, for example the local
// stand-in started with `orvane-site-standin --port 8443 --cert-dir /tmp/standin`:
//   text_search standin-demo-key 127.0.0.1:8443 /tmp/standin/ca.pem Tokyo
#include <orvane/site.h>

#include <cstdint>
#include <exception>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace orvane::site;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: text_search API_KEY [HOST [CA_FILE [QUERY [LAT LNG RADIUS_M]]]]\n";
    return 2;
  }
  // Trust the server's certificate authority in addition to the system's (never turn
  // verification off).
  if (argc > 3) {
    CurlTransportOptions transport;
    transport.caInfoFile = argv[3];
    setDefaultHttpTransport(std::make_shared<CurlTransport>(transport));
  }
  // The library logs each request to standard output; keep this program's output clean.
  setLogSink([](std::string_view line) { std::cerr << std::string(line) + "\n"; });

  // Configure once for the whole process; every call without a context of its own uses it.
  ApiContext context;
  context.setApiKey(argv[1]);
  if (argc > 2) context.setBaseUrl(argv[2]);
  SiteClient::provideApiContext(context.build());

  // Every field is passed explicitly; std::nullopt leaves it out of the request.
  const std::string query = argc > 4 ? argv[4] : "Paris";
  std::optional<Coordinate> location;
  std::optional<std::int64_t> radius;
  if (argc > 7) {
    try {
      location = Coordinate(std::stod(argv[5]), std::stod(argv[6]));
      radius = std::stoll(argv[7]);
    } catch (const std::exception&) {
      std::cerr << "LAT, LNG and RADIUS_M must be numbers\n";
      return 2;
    }
  }
  TextSearchRequest request(query, location, radius,
                            /*poiType=*/std::nullopt, /*ovPoiType=*/std::nullopt,
                            /*countryCode=*/std::nullopt, /*language=*/"en", /*pageSize=*/10,
                            /*pageIndex=*/1, /*children=*/std::nullopt);

  // The call returns at once; its handler runs later on the library's thread. A promise hands
  // the outcome back to main.
  std::promise<int> done;
  std::future<int> exitStatus = done.get_future();
  SiteClient::shared().textSearch(
      request, nullptr,
      [&done](std::shared_ptr<TextSearchResponse> response, std::optional<Error> error) {
        if (error) {
          std::cerr << error->domain << ' ' << error->code << ": " << error->localizedDescription
                    << '\n';
          done.set_value(1);
          return;
        }
        std::cout << response->totalCount.value_or(0) << " places\n";
        for (const auto& site : response->sites.value_or(std::vector<std::shared_ptr<Site>>{})) {
          std::cout << "  " << site->name.value_or("(no name)") << " - "
                    << site->formatAddress.value_or("") << '\n';
        }
        done.set_value(0);
      });
  return exitStatus.get();
}
