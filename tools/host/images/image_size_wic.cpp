#include <windows.h>
#include <wincodec.h>

#include <cstdio>

#include "image_kind.h"
#include "image_size.h"

namespace {

// COM for the calling thread, once per thread.
struct ComThread {
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ~ComThread() {
        if (SUCCEEDED(result)) CoUninitialize();
    }
};

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p != nullptr) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

std::string hresult(const char* what, HRESULT hr) {
    char text[64];
    wsprintfA(text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
    return text;
}

// WIC reads a format only where a codec for it is installed: name the one
// this file needs, told from its first bytes.
std::string missingCodec(const std::filesystem::path& path) {
    unsigned char head[128] = {};
    std::size_t n = 0;
    if (std::FILE* f = _wfopen(path.c_str(), L"rb")) {
        n = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    const char* kind = imageKindName(imageKindOf(head, n));
    return *kind != '\0' ? std::string("no imaging codec for ") + kind + " is installed on this system"
                         : "no imaging codec on this system reads this format";
}

}  // namespace

void initImageSizeReader() {}

bool readImageSize(const std::filesystem::path& path, ImageSize& size, std::string& error) {
    thread_local ComThread com;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.out()));
    if (FAILED(hr)) {
        error = hresult("creating the imaging factory", hr);
        return false;
    }
    // Metadata on demand: the decoder reads the header, not the pixels.
    ComPtr<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                            decoder.out());
    if (hr == WINCODEC_ERR_COMPONENTNOTFOUND) {
        error = missingCodec(path);
        return false;
    }
    if (FAILED(hr)) {
        error = hresult("opening as an image", hr);
        return false;
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    hr = decoder->GetFrame(0, frame.out());
    if (SUCCEEDED(hr)) hr = frame->GetSize(&size.width, &size.height);
    if (FAILED(hr)) {
        error = hresult("reading the image size", hr);
        return false;
    }
    return true;
}
