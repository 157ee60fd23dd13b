// Process entry: the one application object, run on the GTK platform.
#include <cstdio>
#include <exception>

#include "app/tarnel_app.h"
#include "platform/gtk/gtk_platform.h"
#include "service/curl_handles.h"

namespace {
tarnel::app::CTarnelApp theApp;
}

int main(int argc, char** argv) {
  // libcurl's global state is set up once, before any thread starts, and torn
  // down after the last transfer has ended.
  const tarnel::service::CurlGlobal curl;
  // The command line changes nothing; GTK only takes its own display options.
  try {
    tarnel::platform::gtk::GtkPlatform platform(argc, argv);
    theApp.SetPlatform(&platform.platform());
    theApp.InitInstance();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarnel: %s\n", error.what());
    return 1;
  }
  return 0;
}
