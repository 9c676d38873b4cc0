#pragma once

namespace core {

constexpr const char* kProductName = "Vantrel PRO";
constexpr const char* kVersion = "1.6";

}  // namespace core
