// The property store of a user control: named values kept with the description of the
// window that contains the control. A value equal to the property's default is not kept.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tarnwick::platform {

class PropertyBag {
 public:
  // The stored value, or `default_value` when none is stored.
  std::int64_t ReadProperty(const std::wstring& name, std::int64_t default_value) const {
    const auto found = values_.find(name);
    return found == values_.end() ? default_value : found->second;
  }

  // Stores the value; a value equal to the default removes the entry instead.
  void WriteProperty(const std::wstring& name, std::int64_t value, std::int64_t default_value) {
    if (value == default_value) {
      values_.erase(name);
    } else {
      values_[name] = value;
    }
  }

  bool Contains(const std::wstring& name) const { return values_.count(name) != 0; }
  bool Empty() const { return values_.empty(); }

 private:
  std::map<std::wstring, std::int64_t> values_;
};

}  // namespace tarnwick::platform
