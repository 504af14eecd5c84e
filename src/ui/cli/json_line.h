// One JSON object a line, for scripts (--json).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class JsonLine {
  public:
    explicit JsonLine(std::string_view step);
    JsonLine& text(std::string_view key, std::string_view value);
    JsonLine& number(std::string_view key, std::int64_t value);
    // The finished object, without the newline.
    std::string str() const { return text_ + "}"; }

  private:
    void key(std::string_view name);
    std::string text_;
};

// The value as a JSON string, quotes included: every byte that is not printable ASCII is
// escaped, so any device text stays one line of valid JSON.
std::string jsonString(std::string_view value);
