// skin-images.exe DIR: builds the skin images the way the skin engine does and writes each as
// an uncompressed 24-bit BMP of its exact size (ButtonImage.bmp ... HeaderImage.bmp), every
// pixel the value read back from the image's surface.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "graphics/skin_images.h"

namespace {

// Appends a little-endian value of `bytes` bytes.
void PutLittleEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// The BMP file of the surface's width x height pixels: bottom-up rows of blue, green, red,
// each padded to four bytes. False when a pixel cannot be read.
bool EncodeBmp(HDC surface, int width, int height, std::vector<unsigned char>& out) {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
  const std::uint32_t headerBytes = 14 + 40;
  out.clear();
  out.push_back('B');
  out.push_back('M');
  PutLittleEndian(out, headerBytes + imageBytes, 4);  // file size
  PutLittleEndian(out, 0, 4);                         // reserved
  PutLittleEndian(out, headerBytes, 4);               // offset of the pixels
  PutLittleEndian(out, 40, 4);                        // BITMAPINFOHEADER
  PutLittleEndian(out, static_cast<std::uint32_t>(width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(height), 4);  // positive: bottom-up
  PutLittleEndian(out, 1, 2);                                   // planes
  PutLittleEndian(out, 24, 2);                                  // bits per pixel
  PutLittleEndian(out, BI_RGB, 4);
  PutLittleEndian(out, imageBytes, 4);
  PutLittleEndian(out, 3780, 4);  // 96 dots per inch, in pixels per metre
  PutLittleEndian(out, 3780, 4);
  PutLittleEndian(out, 0, 4);  // colours used
  PutLittleEndian(out, 0, 4);  // important colours
  for (int y = height - 1; y >= 0; --y) {
    std::uint32_t written = 0;
    for (int x = 0; x < width; ++x) {
      COLORREF colour = GetPixel(surface, x, y);
      if (colour == CLR_INVALID) return false;
      out.push_back(GetBValue(colour));
      out.push_back(GetGValue(colour));
      out.push_back(GetRValue(colour));
      written += 3;
    }
    for (; written < rowBytes; ++written) out.push_back(0);
  }
  return true;
}

// Writes the bytes to the file; false on any failure.
bool WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: skin-images.exe DIR\n", stderr);
    return 2;
  }
  const std::filesystem::path directory(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error || !std::filesystem::is_directory(directory)) {
    std::fprintf(stderr, "skin-images: cannot create the folder %ls\n", argv[1]);
    return 1;
  }

  modSkinner::SkinImages images;
  modSkinner::BuildSkinImages(images);
  struct Image {
    const wchar_t* file;
    HDC surface;
    int width;
    int height;
  };
  const Image list[] = {
      {L"ButtonImage.bmp", images.ButtonImage, 7, 84},
      {L"ComboImage.bmp", images.ComboImage, 15, 18},
      {L"GlyphImage.bmp", images.GlyphImage, 18, 24},
      {L"BoxImage.bmp", images.BoxImage, 13, 52},
      {L"HeaderImage.bmp", images.HeaderImage, 9, 20},
  };
  int status = 0;
  std::vector<unsigned char> bytes;
  for (const Image& image : list) {
    const std::filesystem::path path = directory / image.file;
    if (!image.surface || !EncodeBmp(image.surface, image.width, image.height, bytes)) {
      std::fprintf(stderr, "skin-images: cannot read the pixels of %ls\n", image.file);
      status = 1;
    } else if (!WriteFile(path, bytes)) {
      std::fprintf(stderr, "skin-images: cannot write %ls\n", path.wstring().c_str());
      status = 1;
    } else {
      std::printf("%ls (%d x %d)\n", path.wstring().c_str(), image.width, image.height);
    }
  }
  modSkinner::ReleaseSkinImages(images);
  return status;
}
