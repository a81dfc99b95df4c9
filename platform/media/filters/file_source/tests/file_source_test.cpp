// The File Source as a plug-in: what Load makes of a file, the reads a
// parser does through IAsyncReader (at the end, past 4 GB, from several
// threads, queued), and which input pins it connects to.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/file_source/tests/reader_test_filters.h"
#include "platform/media/testing/plugin_root.h"

namespace {

using ksv::com::ComPtr;
using ksv::media::testing::OneInputFilter;
using ksv::media::testing::PluginRoot;
using ksv::media::testing::PullingPin;
using ksv::media::testing::PushedPin;

std::vector<uint8_t> Bytes(const char* text, size_t size) {
  return std::vector<uint8_t>(text, text + size);
}

// Byte i of the pattern files.
uint8_t PatternByte(int64_t i) { return static_cast<uint8_t>((i * 7 + (i >> 8)) & 0xFF); }

class FileSourceTest : public ::testing::Test {
 protected:
  FileSourceTest() : root_({"ksvfilesource.so"}) {}

  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    ASSERT_EQ(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IBaseFilter, reinterpret_cast<void**>(filter_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(filter_.As(&file_), S_OK);
  }

  std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = root_ / name;
    ksv::testing::WriteFile(path, bytes);
    return path;
  }
  HRESULT Load(const std::filesystem::path& path, const AM_MEDIA_TYPE* type = nullptr) {
    return file_->Load(ksv::com::Utf8ToUtf16(path.string()).c_str(), type);
  }
  GUID LoadedSubtype() {
    LPOLESTR name = nullptr;
    AM_MEDIA_TYPE type{};
    EXPECT_EQ(file_->GetCurFile(&name, &type), S_OK);
    CoTaskMemFree(name);
    EXPECT_EQ(type.majortype, MEDIATYPE_Stream);
    const GUID subtype = type.subtype;
    FreeMediaType(type);
    return subtype;
  }
  ComPtr<IPin> OutputPin() {
    ComPtr<IPin> pin;
    EXPECT_EQ(filter_->FindPin(u"Output", pin.GetAddressOf()), S_OK);
    return pin;
  }
  ComPtr<IAsyncReader> Reader() {
    ComPtr<IAsyncReader> reader;
    ComPtr<IPin> pin = OutputPin();
    if (pin) {
      EXPECT_EQ(pin.As(&reader), S_OK);
    }
    return reader;
  }
  // A file of `size` pattern bytes, loaded.
  ComPtr<IAsyncReader> LoadPattern(int64_t size) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int64_t i = 0; i < size; ++i) bytes[static_cast<size_t>(i)] = PatternByte(i);
    EXPECT_EQ(Load(Write("pattern.bin", bytes)), S_OK);
    return Reader();
  }

  PluginRoot root_;
  ComPtr<IBaseFilter> filter_;
  ComPtr<IFileSourceFilter> file_;
};

TEST_F(FileSourceTest, SubtypeComesFromTheFirstBytes) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    GUID subtype;
  };
  const std::vector<Case> cases = {
      {"clip.avi", Bytes("RIFF\x10\0\0\0AVI LIST", 16), MEDIASUBTYPE_Avi},
      {"sound.wav", Bytes("RIFF\x24\0\0\0WAVEfmt ", 16), MEDIASUBTYPE_WAVE},
      {"movie.mpg", Bytes("\0\0\x01\xBA\x21\0\x01", 7), MEDIASUBTYPE_MPEG1System},
      // A video elementary stream is not a system stream.
      {"video.m1v", Bytes("\0\0\x01\xB3\x16\0\xF0", 7), GUID_NULL},
      {"other.riff", Bytes("RIFF\x10\0\0\0RMIDdata", 16), GUID_NULL},
      {"short.avi", Bytes("RIFF\x10\0\0\0AV", 10), GUID_NULL},
      {"text.txt", Bytes("hello, world", 12), GUID_NULL},
      {"empty.bin", {}, GUID_NULL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Load(Write(c.name, c.bytes)), S_OK);
    EXPECT_EQ(LoadedSubtype(), c.subtype);
    // The pin offers that one type.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(OutputPin()->EnumMediaTypes(types.GetAddressOf()), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(offered[0]->majortype, MEDIATYPE_Stream);
    EXPECT_EQ(offered[0]->subtype, c.subtype);
    EXPECT_EQ(offered[0]->formattype, FORMAT_None);
    DeleteMediaType(offered[0]);
  }
}

TEST_F(FileSourceTest, TypeGivenToLoadWinsAndGetCurFileNamesTheFile) {
  AM_MEDIA_TYPE given{};
  given.majortype = MEDIATYPE_Stream;
  given.subtype = MEDIASUBTYPE_WAVE;
  const auto path = Write("d\u00e9j\u00e0 vu.avi", Bytes("RIFF\x10\0\0\0AVI LIST", 16));
  ASSERT_EQ(Load(path, &given), S_OK);
  EXPECT_EQ(LoadedSubtype(), MEDIASUBTYPE_WAVE);

  LPOLESTR name = nullptr;
  ASSERT_EQ(file_->GetCurFile(&name, nullptr), S_OK);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(ksv::com::Utf16ToUtf8(name), path.string());
  CoTaskMemFree(name);
}

TEST_F(FileSourceTest, MissingFileFailsWithFileNotFoundAndOffersNoPin) {
  EXPECT_EQ(Load(root_ / "nowhere.avi"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Load(root_ / "nowhere" / "clip.avi"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Load(root_ / ""), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));  // a folder
  LPOLESTR name = reinterpret_cast<LPOLESTR>(this);
  EXPECT_EQ(file_->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(name, nullptr);
  ComPtr<IPin> pin;
  EXPECT_EQ(filter_->FindPin(u"Output", pin.GetAddressOf()), VFW_E_NOT_FOUND);
}

TEST_F(FileSourceTest, SyncReadAtTheEndIsShortWithSFalse) {
  ComPtr<IAsyncReader> reader = LoadPattern(1000);
  ASSERT_TRUE(reader);
  LONGLONG total = 0;
  LONGLONG available = 0;
  ASSERT_EQ(reader->Length(&total, &available), S_OK);
  EXPECT_EQ(total, 1000);
  EXPECT_EQ(available, 1000);

  BYTE buffer[64];
  std::memset(buffer, 0xEE, sizeof(buffer));
  EXPECT_EQ(reader->SyncRead(10, 16, buffer), S_OK);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(buffer[i], PatternByte(10 + i)) << i;

  std::memset(buffer, 0xEE, sizeof(buffer));
  EXPECT_EQ(reader->SyncRead(990, 64, buffer), S_FALSE);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(buffer[i], PatternByte(990 + i)) << i;
  EXPECT_EQ(buffer[10], 0xEE);  // nothing written past what the file has
  EXPECT_EQ(reader->SyncRead(1000, 1, buffer), S_FALSE);
  EXPECT_EQ(reader->SyncRead(5000, 1, buffer), S_FALSE);
  EXPECT_EQ(reader->SyncRead(-1, 1, buffer), E_INVALIDARG);
}

TEST_F(FileSourceTest, ReadsPastFourGigabytes) {
  const auto path = root_ / "sparse.bin";
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const int64_t size = 5LL << 30;
  const int64_t marker = (4LL << 30) + 12345;
  const bool made = ftruncate(fd, size) == 0 && pwrite(fd, "MARK", 4, marker) == 4;
  close(fd);
  if (!made) GTEST_SKIP() << "no room for a sparse 5 GB file here";
  ASSERT_EQ(Load(path), S_OK);
  ComPtr<IAsyncReader> reader = Reader();
  LONGLONG total = 0;
  LONGLONG available = 0;
  ASSERT_EQ(reader->Length(&total, &available), S_OK);
  EXPECT_EQ(total, size);
  BYTE buffer[8] = {};
  ASSERT_EQ(reader->SyncRead(marker - 2, 8, buffer), S_OK);
  EXPECT_EQ(std::memcmp(buffer, "\0\0MARK\0\0", 8), 0);
  EXPECT_EQ(reader->SyncRead(size - 4, 8, buffer), S_FALSE);
}

TEST_F(FileSourceTest, SyncReadFromSeveralThreadsAtOnce) {
  constexpr int64_t kSize = 1 << 20;
  ComPtr<IAsyncReader> reader = LoadPattern(kSize);
  ASSERT_TRUE(reader);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      std::vector<BYTE> buffer(4096);
      for (int round = 0; round < 200; ++round) {
        const int64_t position = (round * 7919 + t * 104729) % (kSize - 4096);
        if (reader->SyncRead(position, 4096, buffer.data()) != S_OK) ++wrong;
        for (int i = 0; i < 4096; i += 97) {
          if (buffer[static_cast<size_t>(i)] != PatternByte(position + i)) ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

class RequestTest : public FileSourceTest {
 protected:
  void SetUp() override {
    FileSourceTest::SetUp();
    reader_ = LoadPattern(10000);
    ASSERT_TRUE(reader_);
    ALLOCATOR_PROPERTIES wanted{4, 1024, 1, 0};
    ASSERT_EQ(reader_->RequestAllocator(nullptr, &wanted, allocator_.GetAddressOf()), S_OK);
    ASSERT_EQ(allocator_->Commit(), S_OK);
  }
  void TearDown() override {
    if (allocator_) allocator_->Decommit();
  }
  IMediaSample* SampleFor(LONGLONG from, LONGLONG to) {
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator_->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME start = from * UNITS;
    REFERENCE_TIME stop = to * UNITS;
    sample->SetTime(&start, &stop);
    return sample;
  }

  ComPtr<IAsyncReader> reader_;
  ComPtr<IMemAllocator> allocator_;
};

TEST_F(RequestTest, RequestedReadsComeBackFromWaitForNext) {
  IMediaSample* first = SampleFor(100, 600);
  IMediaSample* last = SampleFor(9800, 10800);  // past the end
  ASSERT_EQ(reader_->Request(first, 1), S_OK);
  ASSERT_EQ(reader_->Request(last, 2), S_OK);

  IMediaSample* done = nullptr;
  ULONG_PTR user = 0;
  ASSERT_EQ(reader_->WaitForNext(1000, &done, &user), S_OK);
  EXPECT_EQ(done, first);
  EXPECT_EQ(user, 1u);
  BYTE* data = nullptr;
  done->GetPointer(&data);
  EXPECT_EQ(done->GetActualDataLength(), 500);
  EXPECT_EQ(data[0], PatternByte(100));
  EXPECT_EQ(data[499], PatternByte(599));
  done->Release();

  ASSERT_EQ(reader_->WaitForNext(1000, &done, &user), S_FALSE);
  EXPECT_EQ(done, last);
  EXPECT_EQ(user, 2u);
  EXPECT_EQ(done->GetActualDataLength(), 200);
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  done->GetTime(&start, &stop);
  EXPECT_EQ(stop, 10000 * UNITS);  // the stop says where the file ended
  done->Release();

  EXPECT_EQ(reader_->WaitForNext(20, &done, &user), VFW_E_TIMEOUT);
  EXPECT_EQ(done, nullptr);

  // A request larger than its sample is refused at once.
  IMediaSample* small = SampleFor(0, 5000);
  EXPECT_EQ(reader_->Request(small, 3), VFW_E_BUFFER_OVERFLOW);
  small->Release();
  // SyncReadAligned reads the same way without the queue.
  IMediaSample* aligned = SampleFor(0, 1024);
  EXPECT_EQ(reader_->SyncReadAligned(aligned), S_OK);
  aligned->GetPointer(&data);
  EXPECT_EQ(data[1023], PatternByte(1023));
  aligned->Release();
}

TEST_F(RequestTest, FlushWakesTheWaiterAndRefusesRequests) {
  std::atomic<HRESULT> waited{S_OK};
  std::thread waiter([&] {
    IMediaSample* done = nullptr;
    ULONG_PTR user = 0;
    waited = reader_->WaitForNext(INFINITE, &done, &user);
    if (done != nullptr) done->Release();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(reader_->BeginFlush(), S_OK);
  waiter.join();
  EXPECT_EQ(waited.load(), VFW_E_WRONG_STATE);

  IMediaSample* sample = SampleFor(0, 10);
  EXPECT_EQ(reader_->Request(sample, 1), VFW_E_WRONG_STATE);
  ASSERT_EQ(reader_->EndFlush(), S_OK);
  ASSERT_EQ(reader_->Request(sample, 1), S_OK);
  // A completed read still queued when a flush begins comes back with the
  // flush's error so that its owner can release it.
  ASSERT_EQ(reader_->BeginFlush(), S_OK);
  IMediaSample* done = nullptr;
  ULONG_PTR user = 0;
  EXPECT_EQ(reader_->WaitForNext(0, &done, &user), VFW_E_WRONG_STATE);
  EXPECT_EQ(done, sample);
  if (done != nullptr) done->Release();
  EXPECT_EQ(reader_->WaitForNext(0, &done, &user), VFW_E_WRONG_STATE);
  EXPECT_EQ(done, nullptr);
  reader_->EndFlush();
}

TEST_F(FileSourceTest, ConnectsToAPullingPinOnly) {
  ASSERT_EQ(Load(Write("clip.avi", Bytes("RIFF\x10\0\0\0AVI LIST", 16))), S_OK);
  ComPtr<IPin> output = OutputPin();

  auto* pushed = new OneInputFilter<PushedPin>();
  ComPtr<IBaseFilter> sink(pushed);
  EXPECT_TRUE(FAILED(output->Connect(&pushed->pin(), nullptr)));
  ComPtr<IPin> peer;
  EXPECT_EQ(output->ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);

  auto* parser = new OneInputFilter<PullingPin>();
  ComPtr<IBaseFilter> parserFilter(parser);
  ASSERT_EQ(output->Connect(&parser->pin(), nullptr), S_OK);
  EXPECT_EQ(std::memcmp(parser->pin().firstBytes, "RIFF", 4), 0);
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(output->ConnectionMediaType(&type), S_OK);
  EXPECT_EQ(type.subtype, MEDIASUBTYPE_Avi);
  FreeMediaType(type);
  // Another file cannot be loaded under a parser that is reading this one.
  EXPECT_EQ(Load(Write("other.wav", Bytes("RIFF\x24\0\0\0WAVEfmt ", 16))),
            VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(output->Disconnect(), S_OK);
  EXPECT_EQ(parser->pin().Disconnect(), S_OK);
  EXPECT_EQ(parser->pin().Reader(), nullptr);
}

// With no parser registered nothing renders a file: the graph says why and
// takes its source out again.
TEST_F(FileSourceTest, RenderFileThatNothingRendersLeavesTheGraphEmpty) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(graph.GetAddressOf())),
            S_OK);
  const auto countFilters = [&] {
    ComPtr<IEnumFilters> filters;
    EXPECT_EQ(graph->EnumFilters(filters.GetAddressOf()), S_OK);
    int count = 0;
    IBaseFilter* filter = nullptr;
    while (filters && filters->Next(1, &filter, nullptr) == S_OK) {
      filter->Release();
      ++count;
    }
    return count;
  };
  const auto wide = [](const std::filesystem::path& path) {
    return ksv::com::Utf8ToUtf16(path.string());
  };
  const auto avi = Write("clip.avi", Bytes("RIFF\x10\0\0\0AVI LIST", 16));
  const auto text = Write("notes.txt", Bytes("just some text", 14));
  EXPECT_EQ(graph->RenderFile(wide(avi).c_str(), nullptr), VFW_E_CANNOT_RENDER);
  EXPECT_EQ(countFilters(), 0);
  EXPECT_EQ(graph->RenderFile(wide(text).c_str(), nullptr), VFW_E_UNSUPPORTED_STREAM);
  EXPECT_EQ(countFilters(), 0);
  EXPECT_EQ(graph->RenderFile(wide(root_ / "gone.avi").c_str(), nullptr), VFW_E_NOT_FOUND);
  EXPECT_EQ(countFilters(), 0);

  // AddSourceFilter keeps the source, named by the file.
  ComPtr<IBaseFilter> source;
  ASSERT_EQ(graph->AddSourceFilter(wide(avi).c_str(), nullptr, source.GetAddressOf()), S_OK);
  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph->FindFilterByName(wide(avi).c_str(), found.GetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), source.Get());
  EXPECT_EQ(countFilters(), 1);
}

}  // namespace
