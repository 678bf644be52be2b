// Test records whose every stored field holds a value of one numbered generation, and their checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "common/TimeText.h"
#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/StatisticsFields.h"

namespace lane::monitor::testing {

// Field i of generation g: a number g * 1000 + i in the form of the field's kind. Times start
// on a summer day, far from any change of daylight saving.
class GenerationValues {
  public:
    explicit GenerationValues(std::uint32_t generation) : generation_(generation) {}

    std::uint32_t Number(std::size_t index) const {
        return generation_ * 1000 + static_cast<std::uint32_t>(index);
    }
    std::time_t Time(std::size_t index) const {
        std::tm local{};
        local.tm_year = 2004 - 1900;
        local.tm_mon = 6;
        local.tm_mday = 3;
        local.tm_hour = 9;
        local.tm_min = 5;
        return FromLocalTm(local) + static_cast<std::time_t>(Number(index));
    }
    DeviceState State(std::size_t index) const {
        return static_cast<DeviceState>(Number(index) % 8);  // the states that read back
    }
    StatusColour Colour(std::size_t index) const {
        return static_cast<StatusColour>(Number(index) % 3);
    }
    bool Flag(std::size_t index) const { return Number(index) % 2 == 1; }
    std::string Text(std::size_t index) const { return "value " + std::to_string(Number(index)); }

  private:
    std::uint32_t generation_;
};

class FillVisitor {
  public:
    explicit FillVisitor(std::uint32_t generation) : values_(generation) {}
    void Time(std::string_view, std::time_t& field) { field = values_.Time(index_++); }
    void State(std::string_view, DeviceState& field) { field = values_.State(index_++); }
    void Colour(std::string_view, StatusColour& field) { field = values_.Colour(index_++); }
    void Count(std::string_view, std::uint32_t& field) { field = values_.Number(index_++); }
    void Flag(std::string_view, bool& field) { field = values_.Flag(index_++); }
    void Text(std::string_view, std::string& field) { field = values_.Text(index_++); }

  private:
    GenerationValues values_;
    std::size_t index_ = 0;
};

// Collects the names of the fields that do not hold their generation's value.
class CheckVisitor {
  public:
    explicit CheckVisitor(std::uint32_t generation) : values_(generation) {}
    void Time(std::string_view name, std::time_t field) {
        Note(name, field == values_.Time(index_++));
    }
    void State(std::string_view name, DeviceState field) {
        Note(name, field == values_.State(index_++));
    }
    void Colour(std::string_view name, StatusColour field) {
        Note(name, field == values_.Colour(index_++));
    }
    void Count(std::string_view name, std::uint32_t field) {
        Note(name, field == values_.Number(index_++));
    }
    void Flag(std::string_view name, bool field) { Note(name, field == values_.Flag(index_++)); }
    void Text(std::string_view name, const std::string& field) {
        Note(name, field == values_.Text(index_++));
    }

    const std::vector<std::string>& Mismatches() const { return mismatches_; }

  private:
    void Note(std::string_view name, bool matches) {
        if (!matches) {
            mismatches_.emplace_back(name);
        }
    }
    GenerationValues values_;
    std::size_t index_ = 0;
    std::vector<std::string> mismatches_;
};

class NameVisitor {
  public:
    void Time(std::string_view name, std::time_t) { names.emplace_back(name); }
    void State(std::string_view name, DeviceState) { names.emplace_back(name); }
    void Colour(std::string_view name, StatusColour) { names.emplace_back(name); }
    void Count(std::string_view name, std::uint32_t) { names.emplace_back(name); }
    void Flag(std::string_view name, bool) { names.emplace_back(name); }
    void Text(std::string_view name, const std::string&) { names.emplace_back(name); }

    std::vector<std::string> names;
};

// Every stored field as "name=text" in its registry text form.
class TextVisitor {
  public:
    void Time(std::string_view name, std::time_t field) { Add(name, RegistryTimeText(field)); }
    void State(std::string_view name, DeviceState field) { Add(name, DeviceStateText(field)); }
    void Colour(std::string_view name, StatusColour field) { Add(name, StatusColourText(field)); }
    void Count(std::string_view name, std::uint32_t field) { Add(name, std::to_string(field)); }
    void Flag(std::string_view name, bool field) { Add(name, field ? "true" : "false"); }
    void Text(std::string_view name, const std::string& field) { Add(name, field); }

    std::vector<std::string> texts;

  private:
    void Add(std::string_view name, const std::string& text) {
        texts.push_back(std::string(name) + "=" + text);
    }
};

// The "name=text" of each stored field of `after` that differs from `before`.
inline std::vector<std::string> ChangedFields(const CDeviceStatistics& before,
                                              const CDeviceStatistics& after) {
    TextVisitor was;
    VisitStoredStatistics(before, was);
    TextVisitor is;
    VisitStoredStatistics(after, is);
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < is.texts.size() && i < was.texts.size(); ++i) {
        if (is.texts[i] != was.texts[i]) {
            changed.push_back(is.texts[i]);
        }
    }
    return changed;
}

inline void FillGeneration(CDeviceStatistics& statistics, std::uint32_t generation) {
    FillVisitor fill(generation);
    VisitStoredStatistics(statistics, fill);
}

// The generation the record's first count says, and the fields that disagree with it.
inline std::uint32_t GenerationOf(const CDeviceStatistics& statistics,
                                  std::vector<std::string>& mismatches) {
    const std::uint32_t generation = statistics.CoinAccCoinVolume / 1000;
    CheckVisitor check(generation);
    VisitStoredStatistics(statistics, check);
    mismatches = check.Mismatches();
    return generation;
}

inline std::vector<std::string> StoredStatisticsNames() {
    const CDeviceStatistics statistics;
    NameVisitor visitor;
    VisitStoredStatistics(statistics, visitor);
    return visitor.names;
}

}  // namespace lane::monitor::testing
