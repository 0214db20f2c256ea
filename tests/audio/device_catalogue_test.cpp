// The device catalogue against in-memory lists: names to numbers, and the
// three lists of the audio settings dialog.

#include "audio/device_catalogue.h"

#include <gtest/gtest.h>

#include "audio/sim/sim_service.h"

namespace varn {
namespace {

class FakeDevices final : public DeviceDirectory {
 public:
  FakeDevices(std::vector<std::string> in, std::vector<std::string> out)
      : in_(std::move(in)), out_(std::move(out)) {}
  int DeviceCount(bool isInput) override {
    ++counts;
    return static_cast<int>((isInput ? in_ : out_).size());
  }
  std::string DeviceName(bool isInput, int id) override {
    if (throwAt == id) throw std::runtime_error("device query failed");
    return (isInput ? in_ : out_).at(static_cast<size_t>(id));
  }
  int counts = 0;
  int throwAt = -1;

 private:
  std::vector<std::string> in_;
  std::vector<std::string> out_;
};

FakeDevices Studio() {
  return FakeDevices({"Line In (USB Audio)", "Microphone (USB Audio)", "Microphone (USB Audio)",
                      "Stereo Mix (Realtek)"},
                     {"Speakers (Realtek)", "Headphones (USB Audio)"});
}

TEST(FindDeviceId, ResolvesNamesCaseBlindAndTrimmed) {
  FakeDevices d = Studio();
  EXPECT_EQ(FindDeviceId(true, "LINE IN (USB Audio)", d), 0);
  EXPECT_EQ(FindDeviceId(true, "  stereo mix (realtek) ", d), 3);
  EXPECT_EQ(FindDeviceId(true, "Microphone (USB Audio)", d), 1);  // the first of two
  EXPECT_EQ(FindDeviceId(false, "headphones (usb audio)", d), 1);
  EXPECT_EQ(FindDeviceId(false, "Line In (USB Audio)", d), -1);  // an input, not an output
}

TEST(FindDeviceId, EmptyAndNumericNamesNeedNoDeviceList) {
  FakeDevices d = Studio();
  EXPECT_EQ(FindDeviceId(true, "", d), 0);  // the first device, not the default
  EXPECT_EQ(FindDeviceId(true, "   ", d), 0);
  EXPECT_EQ(FindDeviceId(true, "2", d), 2);    // by number, whatever its name
  EXPECT_EQ(FindDeviceId(true, " 7 ", d), 7);  // even past the end
  EXPECT_EQ(FindDeviceId(true, "-1", d), -1);
  EXPECT_EQ(d.counts, 0);
  EXPECT_EQ(FindDeviceId(true, "99999999999", d), 0);  // too large: nothing found
}

TEST(FindDeviceId, UnknownNamesGiveTheDefaultAndNoDevicesGiveTheFirst) {
  FakeDevices d = Studio();
  // The loose match of the dialog is not used here.
  EXPECT_EQ(FindDeviceId(true, "Microphone (2- USB Audio)", d), -1);
  EXPECT_EQ(FindDeviceId(true, "Gone Device", d), -1);
  FakeDevices none({}, {});
  EXPECT_EQ(FindDeviceId(true, "Gone Device", none), 0);
}

TEST(FindDeviceId, AFailingDeviceQueryGivesZero) {
  FakeDevices d = Studio();
  d.throwAt = 1;
  EXPECT_EQ(FindDeviceId(true, "Stereo Mix (Realtek)", d), 0);
}

TEST(DeviceNamesMatch, IgnoresTheSystemsInstanceNumbers) {
  EXPECT_EQ(DeviceNamesMatch("Microphone (2- USB Audio)", "microphone (usb audio)"), 1);
  EXPECT_EQ(DeviceNamesMatch("Line (3- Behringer UMC)", "Line (Behringer UMC)"), 1);
  EXPECT_EQ(DeviceNamesMatch("Line (3- Behringer UMC)", "Line (4- Behringer UMC)"), 1);
  EXPECT_EQ(DeviceNamesMatch("2- Speakers", "Speakers"), 1);  // a leading number
  EXPECT_EQ(DeviceNamesMatch("Same Name", "SAME NAME"), 1);
  // Only 0 to 5 count as instance numbers, and only inside brackets.
  EXPECT_EQ(DeviceNamesMatch("Microphone (7- USB Audio)", "Microphone (USB Audio)"), 0);
  EXPECT_EQ(DeviceNamesMatch("Mic 2- Desk", "Mic Desk"), 0);
  EXPECT_EQ(DeviceNamesMatch("Microphone (USB Audio)", "Line In (USB Audio)"), 0);
  EXPECT_EQ(DeviceNamesMatch("USB", "SB"), 0);  // four characters or fewer keep their head
}

TEST(DeviceNamesMatch, LooksAtFourPositionsOfTheShrinkingText) {
  // "1 2 xy": position 1 '1' drops -> " 2 xy"; position 2 is now '2' and
  // drops -> "2 xy"; positions 3 and 4 are letters. The '2' that moved to
  // position 1 is not looked at again.
  EXPECT_EQ(DeviceNamesMatch("1 2 xy", "2 xy"), 1);
  EXPECT_EQ(DeviceNamesMatch("1 2 xy", "xy"), 0);
  // The rule is loose: a blank at position 4 drops the first letter of any
  // name, so these two count as one device.
  EXPECT_EQ(DeviceNamesMatch("usb audio", "xsb audio"), 1);
}

TEST(FillDeviceCombo, ListsEveryDeviceAndSelectsTheStoredOne) {
  FakeDevices d = Studio();
  VectorChoiceList list;
  list.Add("stale entry");
  FillDeviceCombo(list, true, " stereo mix (realtek)", d);
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"Line In (USB Audio)", "Microphone (USB Audio)",
                                      "Microphone (USB Audio)", "Stereo Mix (Realtek)"}));
  EXPECT_EQ(list.Selected(), 3);
  FillDeviceCombo(list, true, "Microphone (2- USB Audio)", d);
  EXPECT_EQ(list.Selected(), 1);  // through the loose match
  FillDeviceCombo(list, false, "Nothing Like It", d);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Selected(), -1);
  FillDeviceCombo(list, false, "", d);
  EXPECT_EQ(list.Selected(), -1);
}

TEST(FillDeviceCombo, AFailureKeepsWhatWasListed) {
  FakeDevices d = Studio();
  d.throwAt = 2;
  VectorChoiceList list;
  FillDeviceCombo(list, true, "Line In (USB Audio)", d);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Selected(), -1);
}

TEST(FillFormatCombo, ListsTheCodesAndFallsBackToTheFirst) {
  VectorChoiceList list;
  FillFormatCombo(list, 3, 3);
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"Mono8bit", "Stereo8bit", "Mono16bit", "Stereo16bit"}));
  EXPECT_EQ(list.Selected(), 3);
  FillFormatCombo(list, 7, 3);
  EXPECT_EQ(list.Selected(), 0);
  FillFormatCombo(list, -1, 3);
  EXPECT_EQ(list.Selected(), -1);
  FillFormatCombo(list, 9, 9);
  EXPECT_EQ(list.Text(9), "Surround 7.1 24bit");
  EXPECT_EQ(list.Selected(), 9);
  FillFormatCombo(list, 0, -1);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Selected(), -1);
}

TEST(FillRateCombo, FiltersTheCandidatesAndSelectsTheCurrentRate) {
  VectorChoiceList list;
  FillRateCombo(list, 32000, 44100, 0);
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"192000", "96000", "88200", "48000", "44100"}));
  EXPECT_EQ(list.Selected(), -1);
  FillRateCombo(list, 48000, 44100, 0);
  EXPECT_EQ(list.Selected(), 3);
  FillRateCombo(list, 8000, 0, 0);
  EXPECT_EQ(list.Count(), 12);
  EXPECT_EQ(list.Selected(), 11);
  FillRateCombo(list, 22050, 11025, 32000);
  EXPECT_EQ(list.Entries(),
            (std::vector<std::string>{"32000", "24000", "22050", "16000", "12000", "11025"}));
  EXPECT_EQ(list.Selected(), 2);
}

TEST(FindDeviceId, WorksOverTheVirtualDevices) {
  SimWaveService sim(SimPace::Manual);
  EXPECT_EQ(FindDeviceId(true, "sim ramp", sim), 4);
  EXPECT_EQ(FindDeviceId(false, "Sim Null Output", sim), 0);
  VectorChoiceList list;
  FillDeviceCombo(list, true, "Sim Programme", sim);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Selected(), 2);
}

}  // namespace
}  // namespace varn
