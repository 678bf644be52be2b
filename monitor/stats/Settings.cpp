// The monitor's settings: loading and saving them in the settings key.
#include "monitor/stats/Settings.h"

#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "monitor/stats/RegistryValues.h"

namespace lane::monitor {

namespace {

// Each group calls v.Dword, v.Text, v.Number or v.Boolean (name, member) once per stored
// setting, in stored order; `Settings` is MonitorSettings or const MonitorSettings.
template <typename Settings, typename Visitor>
void VisitFilesAndSwitches(Settings& s, Visitor& v) {
    v.Dword("LoggingState", s.LoggingState);
    v.Dword("MaxLogSize", s.MaxLogSize);
    v.Text("TraceFileName", s.TraceFileName);
    v.Text("LogFileName", s.LogFileName);
    v.Text("Port", s.Port);
    v.Number("ReportingIntervalMinutes", s.ReportingIntervalMinutes);
    v.Number("ReportCopies", s.ReportCopies);
    v.Boolean("MonitorSecurityModule", s.switches.MonitorSecurityModule);
    v.Boolean("MonitorSecurityScale", s.switches.MonitorSecurityScale);
    v.Boolean("MonitorConveyor", s.switches.MonitorConveyor);
    v.Boolean("MonitorCoinAcceptor", s.switches.MonitorCoinAcceptor);
    v.Boolean("MonitorCoinDispenser", s.switches.MonitorCoinDispenser);
    v.Boolean("MonitorBillAcceptor", s.switches.MonitorBillAcceptor);
    v.Boolean("MonitorBillDispenser", s.switches.MonitorBillDispenser);
}

template <typename Settings, typename Visitor>
void VisitSecurityModuleAndScale(Settings& s, Visitor& v) {
    v.Boolean("FireSMChecksumFail", s.FireSMChecksumFail);
    v.Boolean("FireSMGreenButtonRepeat", s.FireSMGreenButtonRepeat);
    v.Number("SMGreenButtonTimes", s.SMGreenButtonTimes);
    v.Number("SMGreenButtonIntervalMinutes", s.SMGreenButtonIntervalMinutes);
    v.Boolean("FireSMRedButtonRepeat", s.FireSMRedButtonRepeat);
    v.Number("SMRedButtonTimes", s.SMRedButtonTimes);
    v.Number("SMRedButtonIntervalMinutes", s.SMRedButtonIntervalMinutes);
    v.Boolean("FireSMUPSEvent", s.FireSMUPSEvent);
    v.Boolean("FireSMAbnormalPowerOff", s.FireSMAbnormalPowerOff);
    v.Boolean("FireSSScaleResetRepeat", s.FireSSScaleResetRepeat);
    v.Number("SSScaleResetTimes", s.SSScaleResetTimes);
    v.Number("SSScaleResetIntervalMinutes", s.SSScaleResetIntervalMinutes);
    v.Boolean("FireSSScaleCalibrateRepeat", s.FireSSScaleCalibrateRepeat);
    v.Number("SSScaleCalibrateTimes", s.SSScaleCalibrateTimes);
    v.Number("SSScaleCalibrateIntervalMinutes", s.SSScaleCalibrateIntervalMinutes);
}

template <typename Settings, typename Visitor>
void VisitCoinDevices(Settings& s, Visitor& v) {
    v.Boolean("FireCoinAccFull", s.FireCoinAccFull);
    v.Number("CoinAccBinVolume", s.CoinAccBinVolume);
    v.Number("CoinAcc01Volume", s.CoinAcc01Volume);
    v.Number("CoinAcc05Volume", s.CoinAcc05Volume);
    v.Number("CoinAcc10Volume", s.CoinAcc10Volume);
    v.Number("CoinAcc25Volume", s.CoinAcc25Volume);
    v.Number("CoinAcc50Volume", s.CoinAcc50Volume);
    v.Number("CoinAcc100Volume", s.CoinAcc100Volume);
    v.Number("CoinAcc20Volume", s.CoinAcc20Volume);
    v.Number("CoinAcc200Volume", s.CoinAcc200Volume);
    v.Boolean("FireCoinAccBillsOnly", s.FireCoinAccBillsOnly);
    v.Number("CoinAccBillsWithoutCoinCount", s.CoinAccBillsWithoutCoinCount);
    v.Boolean("FireCoinAccBillsCardsOnly", s.FireCoinAccBillsCardsOnly);
    v.Number("CoinAccBillsCardWithoutCoinCount", s.CoinAccBillsCardWithoutCoinCount);
    v.Boolean("FireCoinDispLow", s.FireCoinDispLow);
    v.Boolean("FireCoinDispRefilled", s.FireCoinDispRefilled);
    v.Boolean("FireCoinDispCassetteRemoved", s.FireCoinDispCassetteRemoved);
    v.Boolean("FireCoinDispCassetteReplaced", s.FireCoinDispCassetteReplaced);
    v.Boolean("FireCoinDispOffline", s.FireCoinDispOffline);
    v.Boolean("FireCoinDispOnline", s.FireCoinDispOnline);
}

template <typename Settings, typename Visitor>
void VisitBillAcceptor(Settings& s, Visitor& v) {
    v.Boolean("FireBillAccRejectRateHigh", s.FireBillAccRejectRateHigh);
    v.Number("BillAccRejectRateRejectCount", s.BillAccRejectRateRejectCount);
    v.Number("BillAccRejectRateCompareCount", s.BillAccRejectRateCompareCount);
    v.Boolean("FireBillAccRepeatedReject", s.FireBillAccRepeatedReject);
    v.Number("BillAccRejectRepeatedRejectCount", s.BillAccRejectRepeatedRejectCount);
    v.Boolean("FireBillAccFull", s.FireBillAccFull);
    v.Boolean("FireBillAccEmptied", s.FireBillAccEmptied);
    v.Boolean("FireBillAccCassetteRemoved", s.FireBillAccCassetteRemoved);
    v.Boolean("FireBillAccCassetteReplaced", s.FireBillAccCassetteReplaced);
    v.Boolean("FireBillAccCheatMode", s.FireBillAccCheatMode);
    v.Boolean("FireBillAccNotResponding", s.FireBillAccNotResponding);
    v.Boolean("FireBillAccJammed", s.FireBillAccJammed);
    v.Boolean("FireBillAccUnjammed", s.FireBillAccUnjammed);
    v.Boolean("FireBillAccCalibrationMode", s.FireBillAccCalibrationMode);
    v.Boolean("FireBillAccReset", s.FireBillAccReset);
    v.Boolean("FireBillAccResetWithEscrow", s.FireBillAccResetWithEscrow);
    v.Boolean("FireBillAccNonrecoverable", s.FireBillAccNonrecoverable);
    v.Boolean("FireBillAccOffline", s.FireBillAccOffline);
    v.Boolean("FireBillAccOnline", s.FireBillAccOnline);
}

template <typename Settings, typename Visitor>
void VisitBillDispenser(Settings& s, Visitor& v) {
    v.Boolean("FireBillDispLow", s.FireBillDispLow);
    v.Boolean("FireBillDispRefilled", s.FireBillDispRefilled);
    v.Boolean("FireBillDispCassetteRemoved", s.FireBillDispCassetteRemoved);
    v.Boolean("FireBillDispCassetteReplaced", s.FireBillDispCassetteReplaced);
    v.Boolean("FireBillDispJammed", s.FireBillDispJammed);
    v.Boolean("FireBillDispNotResponding", s.FireBillDispNotResponding);
    v.Boolean("FireBillDispOffline", s.FireBillDispOffline);
    v.Boolean("FireBillDispOnline", s.FireBillDispOnline);
    v.Boolean("FireBillDispBillsRejected", s.FireBillDispBillsRejected);
    v.Boolean("FireBillDispInvalidCassettes", s.FireBillDispInvalidCassettes);
    v.Boolean("FireBillDispCassetteLowDispense", s.FireBillDispCassetteLowDispense);
    v.Boolean("FireBillDispReset", s.FireBillDispReset);
    v.Boolean("FireBillDispFeedFailure", s.FireBillDispFeedFailure);
    v.Boolean("FireBillDispSensorBlock", s.FireBillDispSensorBlock);
    v.Boolean("FireBillDispVoltageRange", s.FireBillDispVoltageRange);
    v.Boolean("FireBillDispFeedModule", s.FireBillDispFeedModule);
}

template <typename Settings, typename Visitor>
void VisitStoredSettings(Settings& s, Visitor& v) {
    static_assert(std::is_same_v<std::remove_const_t<Settings>, MonitorSettings>);
    VisitFilesAndSwitches(s, v);
    VisitSecurityModuleAndScale(s, v);
    VisitCoinDevices(s, v);
    VisitBillAcceptor(s, v);
    VisitBillDispenser(s, v);
}

class LoadVisitor {
  public:
    explicit LoadVisitor(const RegistryKeyReader& reader) : reader_(reader) {}
    void Dword(std::string_view name, std::uint32_t& field) { reader_.ReadDword(name, field); }
    void Text(std::string_view name, std::string& field) { reader_.ReadText(name, field); }
    void Number(std::string_view name, std::uint32_t& field) { reader_.ReadNumber(name, field); }
    void Boolean(std::string_view name, bool& field) { reader_.ReadBoolean(name, field); }

  private:
    const RegistryKeyReader& reader_;
};

class SaveVisitor {
  public:
    explicit SaveVisitor(RegistryKeyWriter& writer) : writer_(writer) {}
    void Dword(std::string_view name, std::uint32_t field) { writer_.WriteDword(name, field); }
    void Text(std::string_view name, const std::string& field) { writer_.WriteText(name, field); }
    void Number(std::string_view name, std::uint32_t field) { writer_.WriteNumber(name, field); }
    void Boolean(std::string_view name, bool field) { writer_.WriteBoolean(name, field); }

  private:
    RegistryKeyWriter& writer_;
};

// Each stored setting's name and the text staff would see for it.
class TextVisitor {
  public:
    void Dword(std::string_view name, std::uint32_t field) { Add(name, std::to_string(field)); }
    void Text(std::string_view name, const std::string& field) { Add(name, "\"" + field + "\""); }
    void Number(std::string_view name, std::uint32_t field) { Add(name, std::to_string(field)); }
    void Boolean(std::string_view name, bool field) { Add(name, field ? "true" : "false"); }
    const std::vector<std::pair<std::string, std::string>>& Texts() const { return texts_; }

  private:
    void Add(std::string_view name, std::string text) {
        texts_.emplace_back(std::string(name), std::move(text));
    }
    std::vector<std::pair<std::string, std::string>> texts_;
};

}  // namespace

std::vector<std::string> ChangedSettings(const MonitorSettings& before,
                                         const MonitorSettings& after) {
    TextVisitor old;
    VisitStoredSettings(before, old);
    TextVisitor now;
    VisitStoredSettings(after, now);
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < now.Texts().size(); ++i) {
        if (now.Texts()[i].second != old.Texts()[i].second) {
            changed.push_back(now.Texts()[i].first + "=" + now.Texts()[i].second);
        }
    }
    return changed;
}

void LoadSettings(const platform::Registry& registry, MonitorSettings& settings) {
    const RegistryKeyReader reader(registry, kSettingsKey);
    LoadVisitor visitor(reader);
    VisitStoredSettings(settings, visitor);
}

std::uint32_t SaveSettings(platform::Registry& registry, const MonitorSettings& settings) {
    platform::RegBatch batch;
    batch.CreateKey(kSettingsKey);
    RegistryKeyWriter writer(batch, kSettingsKey);
    SaveVisitor visitor(writer);
    VisitStoredSettings(settings, visitor);
    return registry.Apply(batch);
}

}  // namespace lane::monitor
