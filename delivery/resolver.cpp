#include <arpa/inet.h>
#include <netdb.h>

#include <cstring>

#include "delivery/internal.h"

namespace quillmont::delivery {

// On the heap: a lookup that cannot be cancelled is still written to by the
// resolver's thread, so it is then left to it.
struct Resolver::Lookup {
  std::string name;
  addrinfo hints{};
  gaicb request{};
  bool started = false;
};

Resolver::Resolver(const std::vector<std::string>& hosts) {
  std::vector<gaicb*> list;
  for (const std::string& host : hosts) {
    auto* lookup = new Lookup;
    lookup->name = host;
    lookup->hints.ai_socktype = SOCK_DGRAM;  // one entry per address
    lookup->request.ar_name = lookup->name.c_str();
    lookup->request.ar_request = &lookup->hints;
    lookups_.push_back(lookup);
    list.push_back(&lookup->request);
  }
  if (list.empty()) return;
  // All queued at once. When that fails some may have started all the
  // same: none is used, and none freed.
  const bool started = getaddrinfo_a(GAI_NOWAIT, list.data(), static_cast<int>(list.size()), nullptr) == 0;
  for (Lookup* lookup : lookups_) lookup->started = started;
}

Resolver::~Resolver() {
  for (Lookup* lookup : lookups_) {
    if (!lookup->started) continue;
    if (gai_error(&lookup->request) == EAI_INPROGRESS && gai_cancel(&lookup->request) == EAI_NOTCANCELED)
      continue;  // the resolver's thread still owns it
    if (gai_error(&lookup->request) == 0) freeaddrinfo(lookup->request.ar_result);
    delete lookup;
  }
}

bool Resolver::Done(const std::string& host, std::vector<Address>& addresses, std::string& error) {
  Lookup* lookup = nullptr;
  for (Lookup* l : lookups_)
    if (l->name == host) lookup = l;
  if (!lookup || !lookup->started) {
    error = "the name " + host + " could not be looked up (the resolver could not start)";
    return true;
  }
  const int rc = gai_error(&lookup->request);
  if (rc == EAI_INPROGRESS) return false;
  if (rc != 0) {
    error = "name not resolved: " + host + " (" + gai_strerror(rc) + ")";
    return true;
  }
  // IPv4 first: a trap receiver listens there by default.
  for (int family : {AF_INET, AF_INET6})
    for (const addrinfo* a = lookup->request.ar_result; a; a = a->ai_next) {
      if (a->ai_family != family || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
      Address out;
      char text[INET6_ADDRSTRLEN] = {};
      const void* raw = family == AF_INET
                            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr)
                            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr);
      inet_ntop(family, raw, text, sizeof text);
      out.text = text;
      std::memcpy(&out.socket, a->ai_addr, a->ai_addrlen);
      out.length = a->ai_addrlen;
      addresses.push_back(out);
    }
  if (addresses.empty()) error = "name not resolved: " + host + " (no address)";
  return true;
}

}  // namespace quillmont::delivery
