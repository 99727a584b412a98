// Checks the stand-in host itself: its memory, its calls and its reading of
// clipboard pictures. A harness that forgives what the real host would not,
// or reports faults that are not there, would mislead every test built on
// it. Its dialog script has a test program of its own.
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"

namespace {

class HostMemory : public ::testing::Test {
protected:
  void SetUp() override { HostReset(); }
  void TearDown() override { HostReset(); }

  static std::string Report() {
    std::string report;
    HostCheckIntegrity(&report);
    return report;
  }
};

bool AllBytes(const char *p, int n, unsigned char value) {
  for (int i = 0; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) != value)
      return false;
  return true;
}

TEST_F(HostMemory, ResizeMovesTheDataAndPoisonsTheOldPlace) {
  FMHandle h = HostNewHandle(0, "result");
  HostSetText(h, "hello");
  char *old = *h;

  HostServiceSetHandleSize(h, 8);

  EXPECT_NE(old, *h);
  EXPECT_EQ(8, HostServiceGetHandleSize(h));
  EXPECT_EQ(0, memcmp(*h, "hello", 5));
  EXPECT_TRUE(AllBytes(old, 5, kHostPoisonByte));
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, ShrinkKeepsTheLeadingBytes) {
  FMHandle h = HostNewHandle(0);
  HostSetText(h, "abcdef");
  HostServiceSetHandleSize(h, 2);
  EXPECT_EQ("ab", HostText(h));
  EXPECT_EQ(2, HostHandleSize(h));
}

TEST_F(HostMemory, MoveHHiMovesTheBlockToo) {
  FMHandle h = HostNewHandle(0);
  HostSetText(h, "xyz");
  char *old = *h;
  HostServiceMoveHHi(h);
  EXPECT_NE(old, *h);
  EXPECT_EQ("xyz", HostText(h));
  EXPECT_TRUE(AllBytes(old, 3, kHostPoisonByte));
}

TEST_F(HostMemory, WritingUpToTheEndIsNotAFault) {
  FMHandle h = HostNewHandle(0, "result");
  HostServiceSetHandleSize(h, 3);
  memcpy(*h, "abc", 3);
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, WritePastTheEndIsReported) {
  FMHandle h = HostNewHandle(0, "result");
  HostServiceSetHandleSize(h, 3);
  memcpy(*h, "abc", 4); // the terminator a text must not carry

  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("result handle"));
  EXPECT_NE(std::string::npos, report.find("past its end"));
}

TEST_F(HostMemory, WriteThroughAStalePointerIsReported) {
  FMHandle h = HostNewHandle(0, "result");
  HostServiceSetHandleSize(h, 3);
  char *stale = *h;
  HostServiceSetHandleSize(h, 5);
  // A stale pointer reads poison, not the text that moved away.
  EXPECT_EQ(static_cast<char>(kHostPoisonByte), stale[0]);
  stale[1] = 'Z';

  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("stale pointer"));
}

TEST_F(HostMemory, FindingsOutliveTheDisposedHandleUntilReset) {
  FMHandle h = HostNewHandle(0);
  HostServiceSetHandleSize(h, 1);
  (*h)[1] = 'X';
  HostDisposeHandle(h);
  EXPECT_FALSE(HostCheckIntegrity(nullptr));
  HostReset();
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, UnknownHandleIsReportedNotFollowed) {
  char *data = nullptr;
  FMHandle bogus = &data;
  HostServiceSetHandleSize(bogus, 4);
  EXPECT_EQ(kHostNilHandleErr, HostServiceMemoryError());
  EXPECT_EQ(nullptr, data);
  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("unknown handle"));
}

TEST_F(HostMemory, InjectedResizeFailureHitsExactlyTheNthResize) {
  FMHandle h = HostNewHandle(0);
  HostSetText(h, "keep");
  HostArmResizeFailure(2);

  HostServiceSetHandleSize(h, 6);
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
  memcpy(*h, "keepme", 6);
  char *before = *h;

  HostServiceSetHandleSize(h, 20);
  EXPECT_EQ(kHostMemFullErr, HostServiceMemoryError());
  // The failed resize leaves size, contents and place as they were.
  EXPECT_EQ(6, HostHandleSize(h));
  EXPECT_EQ("keepme", HostText(h));
  EXPECT_EQ(before, *h);

  HostServiceSetHandleSize(h, 3);
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
  EXPECT_EQ("kee", HostText(h));

  const HostCallCounts counts = HostCounts();
  EXPECT_EQ(3, counts.resizes);
  EXPECT_EQ(1, counts.failedResizes);
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, ResizeInjectionCountsFromArming) {
  FMHandle h = HostNewHandle(0);
  HostServiceSetHandleSize(h, 1);
  HostServiceSetHandleSize(h, 2);
  HostArmResizeFailure(1);
  HostServiceSetHandleSize(h, 3);
  EXPECT_EQ(kHostMemFullErr, HostServiceMemoryError());
  EXPECT_EQ(2, HostHandleSize(h));
}

TEST_F(HostMemory, InjectedLockFailureHitsExactlyTheNthLock) {
  FMHandle h = HostNewHandle(4);
  HostArmLockFailure(3);
  for (int i = 1; i <= 4; ++i) {
    HostServiceLockHandle(h);
    EXPECT_EQ(i == 3 ? kHostMemFullErr : kHostNoErr, HostServiceMemoryError())
        << "lock " << i;
    HostServiceUnlockHandle(h);
  }
  EXPECT_EQ(1, HostCounts().failedLocks);
  // Unlocking after a failed lock is what callers do; it balances.
  EXPECT_EQ(0, HostLockBalance(h));
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, LockWithoutUnlockIsReported) {
  FMHandle h = HostNewHandle(4, "parameter");
  HostServiceLockHandle(h);
  EXPECT_EQ(1, HostLockBalance(h));
  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("parameter handle"));
  EXPECT_NE(std::string::npos, report.find("lock balance +1"));
}

TEST_F(HostMemory, MemoryErrorClearsOnTheNextGoodResize) {
  FMHandle h = HostNewHandle(0);
  HostArmResizeFailure(1);
  HostServiceSetHandleSize(h, 4);
  ASSERT_EQ(kHostMemFullErr, HostServiceMemoryError());
  HostServiceSetHandleSize(h, 4);
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
}

TEST_F(HostMemory, PointerOverrunIsReportedOnDispose) {
  char *p = HostServiceNewPointer(4);
  ASSERT_NE(nullptr, p);
  p[4] = 1;
  HostServiceDisposePointer(p);
  EXPECT_FALSE(HostCheckIntegrity(nullptr));
}

TEST_F(HostMemory, ServicesAreAllFilledIn) {
  ExternCallRecord record;
  memset(&record, 0, sizeof record);
  HostFillServices(&record);
  FMHandle h = record.cNewHandle(2);
  ASSERT_NE(nullptr, h);
  record.cSetHandleSize(h, 5);
  EXPECT_EQ(5, record.cGetHandleSize(h));
  EXPECT_EQ(0, record.cMemoryError());
  const HostCallCounts counts = HostCounts();
  EXPECT_EQ(1, counts.newHandles);
  EXPECT_EQ(1, counts.resizes);
  EXPECT_EQ(1, counts.sizeQueries);
  EXPECT_EQ(1, counts.errorQueries);
}

// A plug-in entry compiled into the test, so the record the host builds
// can be inspected without a library.
ExternCallRecord gSeen;
std::string gSeenParameter;

void __cdecl RecordingEntry(ExternCallRecord *pb) {
  gSeen = *pb;
  if (pb->whichCall == kInitialise) {
    pb->result = 4;
    return;
  }
  FMHandle parameter = reinterpret_cast<FMHandle>(intptr_t(pb->parm3));
  gSeenParameter.assign(*parameter, size_t(pb->cGetHandleSize(parameter)));
  FMHandle result = reinterpret_cast<FMHandle>(intptr_t(pb->result));
  if (pb->parm2 == 1) { // answers with its parameter
    pb->cSetHandleSize(result, int32_t(gSeenParameter.size()));
    if (pb->cMemoryError() == 0)
      memcpy(*result, gSeenParameter.data(), gSeenParameter.size());
  } else if (pb->parm2 == 9) { // misbehaves: scribbles on the record
    pb->unused = 1;
  }
}

class PluginHost : public HostMemory {
protected:
  LoadedPlugin plugin_;
  void SetUp() override {
    HostMemory::SetUp();
    plugin_.module = GetModuleHandleA(nullptr);
    plugin_.entry = RecordingEntry;
  }
};

TEST_F(PluginHost, InitialisationReturnsTheAnswer) {
  bool written = false;
  EXPECT_EQ(4, SendInit(plugin_, 33, &written));
  EXPECT_TRUE(written);
  EXPECT_EQ(kInitialise, gSeen.whichCall);
  EXPECT_EQ(33, gSeen.extnVersion);
}

TEST_F(PluginHost, CallPassesIdParameterAndInstance) {
  const std::string param("a\0b|c", 5);
  CallOutcome out = CallFunction(plugin_, 1, param);
  EXPECT_EQ(kExternalCall, gSeen.whichCall);
  EXPECT_EQ(1, gSeen.parm2);
  EXPECT_EQ(param, gSeenParameter);
  EXPECT_EQ(intptr_t(plugin_.module), intptr_t(gSeen.instanceID));
  EXPECT_TRUE(out.written);
  EXPECT_EQ(param, out.result);
  EXPECT_TRUE(out.changedRecordBytes.empty());
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(PluginHost, ResultNotWrittenIsToldApart) {
  CallOutcome out = CallFunction(plugin_, 3, "x");
  EXPECT_FALSE(out.written);
  EXPECT_EQ(kUntouchedResult, out.result);
}

TEST_F(PluginHost, FailedResizeLeavesTheResultUntouched) {
  HostArmResizeFailure(1);
  CallOutcome out = CallFunction(plugin_, 1, "abc");
  EXPECT_FALSE(out.written);
}

TEST_F(PluginHost, InstanceOverrideIsPassed) {
  CallOptions options;
  options.instance = reinterpret_cast<HMODULE>(0x12340000);
  CallFunction(plugin_, 1, "x", options);
  EXPECT_EQ(0x12340000, gSeen.instanceID);
}

TEST_F(PluginHost, RecordChangesAreReported) {
  CallOutcome out = CallFunction(plugin_, 9, "x");
  ASSERT_FALSE(out.changedRecordBytes.empty());
  EXPECT_EQ(int(offsetof(ExternCallRecord, unused)),
            out.changedRecordBytes.front());
}

// Pixels: a 24-bit DIB is stored bottom row first.
TEST(DibToRgb, TwentyFourBitRowsComeOutTopDown) {
  std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 2 * 8, 0);
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = 2;
  h.biHeight = 2;
  h.biPlanes = 1;
  h.biBitCount = 24;
  memcpy(dib.data(), &h, sizeof h);
  uint8_t *px = dib.data() + sizeof h;
  px[2] = 255;     // bottom-left red (stored blue, green, red)
  px[8 + 3] = 255; // top-right blue
  DibImage image;
  std::string error;
  ASSERT_TRUE(DibToRgb(dib.data(), dib.size(), &image, &error)) << error;
  ASSERT_EQ(2, image.width);
  ASSERT_EQ(2, image.height);
  const uint8_t topRight[3] = {0, 0, 255}, bottomLeft[3] = {255, 0, 0};
  EXPECT_EQ(0, memcmp(&image.rgb[3], topRight, 3));
  EXPECT_EQ(0, memcmp(&image.rgb[6], bottomLeft, 3));
  EXPECT_EQ(sizeof h, DibPixelOffset(dib.data(), dib.size()));
}

TEST(DibToRgb, FourBitPixelsGoThroughTheColourTable) {
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = 3;
  h.biHeight = -1; // top-down
  h.biPlanes = 1;
  h.biBitCount = 4;
  std::vector<uint8_t> dib(sizeof h + 16 * 4 + 4, 0);
  memcpy(dib.data(), &h, sizeof h);
  uint8_t *table = dib.data() + sizeof h;
  table[1 * 4 + 2] = 200;    // entry 1: red 200
  table[15 * 4 + 1] = 100;   // entry 15: green 100
  dib[sizeof h + 64] = 0x1F; // pixels 1, 15
  dib[sizeof h + 65] = 0x10; // pixel 1
  DibImage image;
  std::string error;
  ASSERT_TRUE(DibToRgb(dib.data(), dib.size(), &image, &error)) << error;
  EXPECT_EQ(sizeof h + 64, DibPixelOffset(dib.data(), dib.size()));
  const uint8_t expected[9] = {200, 0, 0, 0, 100, 0, 200, 0, 0};
  ASSERT_EQ(9u, image.rgb.size());
  EXPECT_EQ(0, memcmp(image.rgb.data(), expected, 9));
}

TEST(DibToRgb, ShortBlockIsRefused) {
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = 4;
  h.biHeight = 4;
  h.biPlanes = 1;
  h.biBitCount = 24;
  std::vector<uint8_t> dib(sizeof h + 40, 0); // 48 bytes of pixels needed
  memcpy(dib.data(), &h, sizeof h);
  DibImage image;
  std::string error;
  EXPECT_FALSE(DibToRgb(dib.data(), dib.size(), &image, &error));
  EXPECT_FALSE(error.empty());
}

} // namespace
