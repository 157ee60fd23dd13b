// libFuzzer target: any text a page can post goes through OnWebMessage on the
// fake platform, and what it posts runs, without a crash or sanitizer report.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "support/fake_platform.h"
#include "window/tarnel_dlg.h"

namespace {

struct Session {
  Session() {
    fake.moduleFileName = "/nonexistent/tarnel";  // no config.ini: no service calls
    tarnel::window::DlgOptions options;
    options.logUrl = "http://127.0.0.1:9/log";  // refused at once on loopback
    options.reportDrainBudget = std::chrono::milliseconds(0);
    dlg = std::make_unique<tarnel::window::CTarnelDlg>(fake.platform(), options);
    fake.Create(*dlg);
    fake.InitDialog();
    fake.RunPosted();
    // No Downloads folder and a cancelled save dialog: "dnld" never transfers.
    fake.saveDialog = [](const tarnel::platform::SaveDialogOptions&) { return std::optional<std::string>(); };
  }
  ~Session() {
    fake.DestroyWindow();
    dlg.reset();
  }
  tarnel::test::FakePlatform fake;
  std::unique_ptr<tarnel::window::CTarnelDlg> dlg;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto session = std::make_unique<Session>();
  session->fake.DeliverPageMessage(std::string(reinterpret_cast<const char*>(data), size));
  session->fake.RunPosted();
  session->fake.TakeCalls();
  if (session->fake.ended()) session = std::make_unique<Session>();
  return 0;
}
