// Looks up the time zone of a position now and prints the local time there.
//
//   timezone API_KEY [HOST [CA_FILE [LAT LNG]]]
#include <orvane/site.h>

#include <cstdlib>
#include <ctime>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using namespace orvane::site;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: timezone API_KEY [HOST [CA_FILE [LAT LNG]]]\n";
    return 2;
  }
  if (argc > 3) {
    CurlTransportOptions transport;
    transport.caInfoFile = argv[3];  // trusted in addition to the system's authorities
    setDefaultHttpTransport(std::make_shared<CurlTransport>(transport));
  }
  // The library logs each request to standard output; keep this program's output clean.
  setLogSink([](std::string_view line) { std::cerr << std::string(line) + "\n"; });

  ApiContext context;
  context.setApiKey(argv[1]);
  if (argc > 2) context.setBaseUrl(argv[2]);
  SiteClient::provideApiContext(context.build());

  const Coordinate position = argc > 5 ? Coordinate(std::atof(argv[4]), std::atof(argv[5]))
                                       : Coordinate(-33.8688, 151.2093);  // Sydney
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  TimezoneRequest request(position, /*timestamp=*/now, /*language=*/"en");

  std::promise<int> done;
  std::future<int> exitStatus = done.get_future();
  SiteClient::shared().timezone(
      request, nullptr,
      [&done, now](std::shared_ptr<TimezoneResponse> response, std::optional<Error> error) {
        if (error) {
          std::cerr << error->domain << ' ' << error->code << ": " << error->localizedDescription
                    << '\n';
          done.set_value(1);
          return;
        }
        std::cout << response->timeZoneId.value_or("?") << " ("
                  << response->timeZoneName.value_or("?") << ")\n";
        // The offsets are passed on as the service sends them: seconds east of UTC, standard
        // time plus daylight saving.
        const std::int64_t offset =
            response->rawOffset.value_or(0) + response->dstOffset.value_or(0);
        const std::time_t local = static_cast<std::time_t>(now + offset);
        std::tm parts{};
        gmtime_r(&local, &parts);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
        std::cout << "local time: " << text << " (UTC" << (offset < 0 ? "-" : "+")
                  << std::llabs(offset) / 3600 << ':' << (std::llabs(offset) % 3600) / 60 / 10
                  << (std::llabs(offset) % 3600) / 60 % 10 << ")\n";
        done.set_value(0);
      });
  return exitStatus.get();
}
