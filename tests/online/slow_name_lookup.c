// Preloaded into the online tests: a lookup of any name containing
// "slow-lookup" hangs for a minute, as lookups do on a network whose name
// server never answers. Other names resolve as usual.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netdb.h>
#include <string.h>
#include <unistd.h>

// Found by the tests with dlsym: how many lookups are hanging right now.
volatile int trivexa_slow_lookups_waiting = 0;

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                struct addrinfo** res) {
    if (node != NULL && strstr(node, "slow-lookup") != NULL) {
        __atomic_add_fetch(&trivexa_slow_lookups_waiting, 1, __ATOMIC_SEQ_CST);
        sleep(60);
        __atomic_sub_fetch(&trivexa_slow_lookups_waiting, 1, __ATOMIC_SEQ_CST);
        return EAI_AGAIN;
    }
    typedef int (*Real)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
    // POSIX's way to turn dlsym's answer into a function pointer.
    Real real;
    void* symbol = dlsym(RTLD_NEXT, "getaddrinfo");
    memcpy(&real, &symbol, sizeof real);
    return real(node, service, hints, res);
}
