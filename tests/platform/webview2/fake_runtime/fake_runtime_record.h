#pragma once
// What the fake runtime DLL records of each call, as the DLL and the tests
// reading it (through its FakeRuntimeRecord export) both see it.

struct FakeRuntimeRecord {
  int loaderCalls;
  int runtimeCalls;
  bool joinRunningInstance;
  int runtimeKind;
  bool hadOptions;
  bool hadBrowserFolder;
  wchar_t userDataFolder[512];
};
