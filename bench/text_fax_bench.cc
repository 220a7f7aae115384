// Text to fax beside libtiff: a full page (66 text lines of 50 Chinese
// characters and 50 ASCII characters) turned into a TIFF Class F file with
// the fonts made from unifont, font and table loading included; beside it
// libtiff's own T.4 encoder writing the same 1,122 scan lines (taken from
// the decoded page) into a TIFF file. The goal: the whole conversion under
// 20 ms of one core.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "telephony/fax/text_fax.h"

namespace {

constexpr int kTextLines = 66;
constexpr int kChineseChars = 50;
constexpr int kAsciiChars = 50;
constexpr uint32_t kRowBytes = 216;

// The folder with the code table, the fonts and the page's text, made once.
const std::string& Folder() {
  static const std::string folder = [] {
    const std::string f = (std::filesystem::temp_directory_path() / "vttel-text-fax-bench").string();
    std::filesystem::create_directories(f);
    const std::string tools = std::string(VTTEL_SOURCE_DIR) + "/tools/";
    for (const char* tool : {"make_huffman_cod.py", "make_fax_fonts.py"}) {
      const std::string command = "python3 " + tools + tool + " --out " + f;
      if (std::system(command.c_str()) != 0) std::abort();
    }
    std::string text;
    for (int line = 0; line < kTextLines; ++line) {
      for (int i = 0; i < kChineseChars; ++i) {
        text += static_cast<char>(0xB0 + (line + i) % 40);  // GB2312 rows 16..55
        text += static_cast<char>(0xA1 + (line * 7 + i) % 94);
      }
      for (int i = 0; i < kAsciiChars; ++i) text += static_cast<char>('!' + (line + i) % 94);
      text += "\r\n";
    }
    FILE* out = std::fopen((f + "/page.txt").c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    return f;
  }();
  return folder;
}

std::string PagePath(const char* name) { return Folder() + "/" + name; }

void BM_TextToFaxPage(benchmark::State& state) {
  const std::string text = PagePath("page.txt");
  const std::string fax = PagePath("page.tif");
  for (auto _ : state) {
    telephony::TagTxtCvtFax conversion(Folder(), text, fax);
    if (conversion.status() != 0) state.SkipWithError("conversion failed");
  }
}
BENCHMARK(BM_TextToFaxPage)->Unit(benchmark::kMillisecond);

// The page's scan lines as libtiff decodes them from the converted file.
std::vector<std::vector<uint8_t>> PageRows() {
  telephony::TagTxtCvtFax conversion(Folder(), PagePath("page.txt"), PagePath("page.tif"));
  std::vector<std::vector<uint8_t>> rows;
  TIFF* in = TIFFOpen(PagePath("page.tif").c_str(), "r");
  if (in == nullptr) return rows;
  uint32_t length = 0;
  TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
  for (uint32_t r = 0; r < length; ++r) {
    rows.emplace_back(kRowBytes);
    TIFFReadScanline(in, rows.back().data(), r, 0);
  }
  TIFFClose(in);
  return rows;
}

void BM_LibtiffT4Page(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> rows = PageRows();
  const std::string path = PagePath("libtiff.tif");
  for (auto _ : state) {
    TIFF* out = TIFFOpen(path.c_str(), "w");
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, 1728u);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows.size()));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows.size()));
    for (uint32_t r = 0; r < rows.size(); ++r) TIFFWriteScanline(out, rows[r].data(), r, 0);
    TIFFClose(out);
  }
}
BENCHMARK(BM_LibtiffT4Page)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
