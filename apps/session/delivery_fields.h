#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/delivery_settings.h"

// The delivery settings as both editors show them: one field a setting, its
// text read and taken back with the store's own checks.
namespace quillmont::session {

inline constexpr const char* kDeliverySettingsTitle = "Delivery Settings";
inline constexpr const char* kPasswordNote =
    "The SMTP password is never stored: it comes from QUILLMONT_SMTP_PASSWORD or the password file, which only you "
    "may read.";

struct DeliveryField {
  const char* label;
  std::function<std::string(const store::DeliverySettings&)> get;
  // Takes the text into the settings, or says why it cannot (the settings
  // are then as they were).
  std::function<std::optional<std::string>(store::DeliverySettings&, const std::string&)> set;
  std::vector<std::string> choices = {};  // chosen from a list when not empty
  bool multiLine = false;
};

// In the order they are shown.
const std::vector<DeliveryField>& DeliveryFields();

}  // namespace quillmont::session
