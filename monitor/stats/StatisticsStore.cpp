// Loading and saving the statistics record and the repeat histories in the values key.
#include "monitor/stats/StatisticsStore.h"

#include <mutex>
#include <string_view>

#include "monitor/stats/RegistryValues.h"
#include "monitor/stats/Settings.h"
#include "monitor/stats/StatisticsFields.h"

namespace lane::monitor {

namespace {

class LoadVisitor {
  public:
    explicit LoadVisitor(const RegistryKeyReader& reader) : reader_(reader) {}
    void Time(std::string_view name, std::time_t& field) { reader_.ReadTime(name, field); }
    void State(std::string_view name, DeviceState& field) { reader_.ReadState(name, field); }
    void Colour(std::string_view name, StatusColour& field) { reader_.ReadColour(name, field); }
    void Count(std::string_view name, std::uint32_t& field) { reader_.ReadNumber(name, field); }
    void Flag(std::string_view name, bool& field) { reader_.ReadBoolean(name, field); }
    void Text(std::string_view name, std::string& field) { reader_.ReadText(name, field); }

  private:
    const RegistryKeyReader& reader_;
};

class SaveVisitor {
  public:
    explicit SaveVisitor(RegistryKeyWriter& writer) : writer_(writer) {}
    void Time(std::string_view name, std::time_t field) { writer_.WriteTime(name, field); }
    void State(std::string_view name, DeviceState field) { writer_.WriteState(name, field); }
    void Colour(std::string_view name, StatusColour field) { writer_.WriteColour(name, field); }
    void Count(std::string_view name, std::uint32_t field) { writer_.WriteNumber(name, field); }
    void Flag(std::string_view name, bool field) { writer_.WriteBoolean(name, field); }
    void Text(std::string_view name, const std::string& field) { writer_.WriteText(name, field); }

  private:
    RegistryKeyWriter& writer_;
};

std::string GroupKey(const std::string& group) {
    return std::string(kValuesKey) + "\\" + group;
}

std::string HistoryKey(const std::string& group, const std::string& name) {
    return GroupKey(group) + "\\" + name;
}

}  // namespace

void LoadStatistics(const platform::Registry& registry, CDeviceStatistics& statistics) {
    const RegistryKeyReader reader(registry, kValuesKey);
    if (reader.Result() != 0) {
        return;
    }
    LoadVisitor visitor(reader);
    std::lock_guard<CDeviceStatistics> guard(statistics);
    VisitStoredStatistics(statistics, visitor);
}

std::uint32_t SaveStatistics(platform::Registry& registry, const CDeviceStatistics& statistics) {
    platform::RegBatch batch;
    batch.CreateKey(kValuesKey);
    RegistryKeyWriter writer(batch, kValuesKey);
    SaveVisitor visitor(writer);
    {
        std::lock_guard<const CDeviceStatistics> guard(statistics);
        VisitStoredStatistics(statistics, visitor);
    }
    return registry.Apply(batch);
}

void LoadTimeList(const platform::Registry& registry, const std::string& group,
                  const std::string& name, TimeHistory& history) {
    const RegistryKeyReader reader(registry, HistoryKey(group, name));
    // Each time needs a value of its own, so the count bounds the walk.
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        std::time_t time = 0;
        if (!reader.ReadTime(std::to_string(i), time)) {
            return;
        }
        history.push_back(time);
    }
}

void AddTimeList(platform::RegBatch& batch, const std::string& group, const std::string& name,
                 const TimeHistory& history) {
    const std::string historyKey = HistoryKey(group, name);
    batch.CreateKey(GroupKey(group));
    batch.DeleteKey(historyKey);
    batch.CreateKey(historyKey);
    RegistryKeyWriter writer(batch, historyKey);
    for (std::size_t i = 0; i < history.size(); ++i) {
        writer.WriteTime(std::to_string(i), history[i]);
    }
}

std::uint32_t SaveTimeList(platform::Registry& registry, const std::string& group,
                           const std::string& name, const TimeHistory& history) {
    platform::RegBatch batch;
    AddTimeList(batch, group, name, history);
    return registry.Apply(batch);
}

}  // namespace lane::monitor
