#include "netenv/address_cache.h"

#include <mutex>
#include <vector>

#include "core/flavour.h"
#include "netenv/address_choice.h"

namespace netenv {

namespace {
std::mutex cachedMutex;
std::string cached;
std::mutex selectedMutex;
std::string selected;
}  // namespace

std::string cachedAddress() {
  std::lock_guard<std::mutex> lock(cachedMutex);
  return cached;
}

void setCachedAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(cachedMutex);
  cached = address;
}

std::string findCachedAddress() {
  std::vector<RouteRecord> routes;
  if (!readIPv4Routes(routes)) return {};
  std::vector<AdapterRecord> adapters;
  enumerateAdapters(AdapterFamily::IPv4, adapters);
  std::string address = chooseLanAddress(routes, adapters, core::flavour().network.preferPhysicalAdapter);
  if (!address.empty()) setCachedAddress(address);
  return address;
}

std::string selectedAddress() {
  std::lock_guard<std::mutex> lock(selectedMutex);
  return selected;
}

void setSelectedAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(selectedMutex);
  selected = address;
}

std::string urlHost(const std::string& selectedText, const std::string& cachedText) {
  if (!selectedText.empty()) return selectedText;
  if (!cachedText.empty()) return cachedText;
  return "localhost";
}

std::string urlHost() {
  std::string picked = core::flavour().window.addressList ? selectedAddress() : std::string();
  return urlHost(picked, cachedAddress());
}

}  // namespace netenv
