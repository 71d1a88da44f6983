// The check program's pictures written to disk: PNG through WIC, or BMP where WIC is
// missing or fails (Windows XP without its update, a broken codec).
#include "platform/win32_check_system.h"

#include <wincodec.h>

#include <vector>

#include "platform/win32_common.h"

namespace pelmora {
namespace {

// Defined here rather than taken from a library: the program links no import library
// beyond the system's core ones. The imaging factory of Windows 7 and XP's update, which
// later Windows keep.
constexpr GUID kWicFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID kWicFactoryInterface = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
constexpr GUID kPngFormat = {0x1b7cfaf4, 0x713f, 0x473c, {0xbb, 0xcd, 0x61, 0x37, 0x42, 0x5f, 0xae, 0xaf}};
constexpr GUID kBgr24 = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0c}};

// Releases a COM interface when it goes out of scope.
template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&&) = delete;
  TComPtr& operator=(TComPtr&&) = delete;
  ~TComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  T* operator->() const { return p_; }
  T** Out() { return &p_; }
  T* Get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// The path as the ANSI file functions would read it.
std::wstring WidePath(const std::string& path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

bool EncodePng(IWICImagingFactory* factory, const TPixels& pixels, const std::wstring& path) {
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapEncoder> encoder;
  TComPtr<IWICBitmapFrameEncode> frame;
  TComPtr<IPropertyBag2> options;
  const auto width = static_cast<UINT>(pixels.Width);
  const auto height = static_cast<UINT>(pixels.Height);
  const auto stride = static_cast<UINT>(pixels.Stride);
  // The encoder answers with the format it will take instead when it cannot take this one.
  GUID format = kBgr24;
  HRESULT done = factory->CreateStream(stream.Out());
  if (SUCCEEDED(done)) done = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  if (SUCCEEDED(done)) done = factory->CreateEncoder(kPngFormat, nullptr, encoder.Out());
  if (SUCCEEDED(done)) done = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(done)) done = encoder->CreateNewFrame(frame.Out(), options.Out());
  if (SUCCEEDED(done)) done = frame->Initialize(options.Get());
  if (SUCCEEDED(done)) done = frame->SetSize(width, height);
  if (SUCCEEDED(done)) done = frame->SetPixelFormat(&format);
  if (SUCCEEDED(done) && !IsEqualGUID(format, kBgr24)) return false;
  if (SUCCEEDED(done)) done = frame->WritePixels(height, stride, stride * height, pixels.Bits);
  if (SUCCEEDED(done)) done = frame->Commit();
  if (SUCCEEDED(done)) done = encoder->Commit();
  return SUCCEEDED(done);
}

// ole32 is loaded for the picture alone: pelmora's programs import only the DLLs every
// Windows loads at start. Kept loaded, as WIC's DLLs are once COM has brought them in.
bool SavePng(const TPixels& pixels, const std::string& path) {
  HMODULE ole = LoadSystemLibrary("ole32.dll");
  const auto initialize = Proc<HRESULT(WINAPI*)(LPVOID, DWORD)>(ole, "CoInitializeEx");
  const auto uninitialize = Proc<void(WINAPI*)()>(ole, "CoUninitialize");
  const auto create =
      Proc<HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*)>(ole, "CoCreateInstance");
  if (initialize == nullptr || uninitialize == nullptr || create == nullptr) return false;
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  // A thread already in another apartment keeps it; WIC works in either.
  const HRESULT com = initialize(nullptr, COINIT_APARTMENTTHREADED);
  bool saved = false;
  {
    TComPtr<IWICImagingFactory> factory;
    if (SUCCEEDED(create(kWicFactory, nullptr, CLSCTX_INPROC_SERVER, kWicFactoryInterface,
                         reinterpret_cast<LPVOID*>(factory.Out())))) {
      saved = EncodePng(factory.Get(), pixels, wide);
    }
  }
  if (SUCCEEDED(com)) uninitialize();
  // A failed encoder may leave an empty or partial file behind.
  if (!saved) DeleteFileW(wide.c_str());
  return saved;
}

std::string WithBmpExtension(const std::string& path) {
  const size_t name = path.find_last_of("\\/");
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (name == std::string::npos || dot > name);
  return (hasExtension ? path.substr(0, dot) : path) + ".bmp";
}

// A bottom-up 24-bit BMP, the form every viewer opens.
bool SaveBmp(const TPixels& pixels, const std::string& path) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = pixels.Width;
  info.biHeight = pixels.Height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const auto image = static_cast<DWORD>(pixels.Stride) * static_cast<DWORD>(pixels.Height);
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;  // "BM"
  head.bfOffBits = sizeof head + sizeof info;
  head.bfSize = head.bfOffBits + image;
  std::vector<BYTE> bytes(head.bfSize);
  CopyMemory(bytes.data(), &head, sizeof head);
  CopyMemory(bytes.data() + sizeof head, &info, sizeof info);
  BYTE* row = bytes.data() + head.bfOffBits;
  for (int y = pixels.Height - 1; y >= 0; --y, row += pixels.Stride) {
    CopyMemory(row, pixels.Bits + static_cast<size_t>(y) * static_cast<size_t>(pixels.Stride),
               static_cast<size_t>(pixels.Stride));
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), head.bfSize, &written, nullptr) && written == head.bfSize;
  ::CloseHandle(file);
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

}  // namespace

std::string WritePicture(const TPixels& pixels, const std::string& path) {
  if (SavePng(pixels, path)) return path;
  const std::string bmp = WithBmpExtension(path);
  return SaveBmp(pixels, bmp) ? bmp : std::string();
}

}  // namespace pelmora
