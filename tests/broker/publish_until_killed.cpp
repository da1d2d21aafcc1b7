// A program that publishes a sensor's status and then waits to be killed:
// the broker must then hand its subscribers the connection's last will.
//   publish_until_killed URL NAME
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "broker/publisher.h"

int main(int argc, char **argv) {
    broker::Target target;
    std::string problem;
    if (argc != 3 || !broker::parseUrl(argv[1], target.url, problem))
        return 2;
    target.name = argv[2];
    broker::Publisher publisher(target);
    publisher.status(broker::State::Online);
    if (!publisher.start().empty())
        return 1;
    while (!publisher.connected())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::puts("connected");
    std::fflush(stdout);
    pause();
}
