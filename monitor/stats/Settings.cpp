// The monitor's settings, named as their registry values, with their defaults.
#include "monitor/stats/Settings.h"

#include "monitor/stats/RegistryValues.h"

namespace lane::monitor {

void LoadSettings(const platform::Registry& registry, MonitorSettings& settings) {
    const RegistryKeyReader reader(registry, kSettingsKey);
    reader.ReadDword("LoggingState", settings.LoggingState);
    reader.ReadDword("MaxLogSize", settings.MaxLogSize);
    reader.ReadText("TraceFileName", settings.TraceFileName);
    MonitorSwitches& on = settings.switches;
    reader.ReadBoolean("MonitorSecurityModule", on.MonitorSecurityModule);
    reader.ReadBoolean("MonitorSecurityScale", on.MonitorSecurityScale);
    reader.ReadBoolean("MonitorConveyor", on.MonitorConveyor);
    reader.ReadBoolean("MonitorCoinAcceptor", on.MonitorCoinAcceptor);
    reader.ReadBoolean("MonitorCoinDispenser", on.MonitorCoinDispenser);
    reader.ReadBoolean("MonitorBillAcceptor", on.MonitorBillAcceptor);
    reader.ReadBoolean("MonitorBillDispenser", on.MonitorBillDispenser);
}

std::uint32_t SaveSettings(platform::Registry& registry, const MonitorSettings& settings) {
    platform::RegBatch batch;
    batch.CreateKey(kSettingsKey);
    RegistryKeyWriter writer(batch, kSettingsKey);
    writer.WriteDword("LoggingState", settings.LoggingState);
    writer.WriteDword("MaxLogSize", settings.MaxLogSize);
    writer.WriteText("TraceFileName", settings.TraceFileName);
    const MonitorSwitches& on = settings.switches;
    writer.WriteBoolean("MonitorSecurityModule", on.MonitorSecurityModule);
    writer.WriteBoolean("MonitorSecurityScale", on.MonitorSecurityScale);
    writer.WriteBoolean("MonitorConveyor", on.MonitorConveyor);
    writer.WriteBoolean("MonitorCoinAcceptor", on.MonitorCoinAcceptor);
    writer.WriteBoolean("MonitorCoinDispenser", on.MonitorCoinDispenser);
    writer.WriteBoolean("MonitorBillAcceptor", on.MonitorBillAcceptor);
    writer.WriteBoolean("MonitorBillDispenser", on.MonitorBillDispenser);
    return registry.Apply(batch);
}

}  // namespace lane::monitor
