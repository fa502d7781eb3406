// The error box's texts for a welcome text that cannot be loaded and for a
// damaged program file, and the application title that captions the box.
#include "Update_Main/welcome_messages.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using Status = WelcomeFileLoad::Status;

TEST(WelcomeMessages, TrimsTheSystemDescription) {
  const std::pair<std::string, std::string> cases[] = {
      {"The system cannot find the file specified.\r\n", "The system cannot find the file specified"},
      {"No such file or directory", "No such file or directory"},
      {"Access is denied. .. \t\x01", "Access is denied"},
      {"v.1.3.1 ok", "v.1.3.1 ok"},
      {"Нет доступа.\x7f", "Нет доступа"},
      {" ...\n", ""},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(TrimSystemErrorText(in), out) << in;
}

TEST(WelcomeMessages, BoxEndsTextAfterFullStopInCharacterOrder) {
  const std::pair<std::string, std::string> cases[] = {
      {"Failed to Load Stream", "Failed to Load Stream."},
      {"Done.", "Done."},
      {"Really!", "Really!"},  // '!' comes before '.'
      {"(x)", "(x)"},          // so does ')'
      {"a/", "a/."},           // '/' comes after it
      {"error 5", "error 5."},
      {"нет файла", "нет файла."},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ErrorBoxText(in), out) << in;
}

TEST(WelcomeMessages, ErrorTextByOutcome) {
  struct Row {
    WelcomeFileLoad load;
    std::string text;
  };
  const Row rows[] = {
      {{Status::Loaded, "C:\\x\\text.rtf", ""}, ""},
      {{Status::Unreadable, "C:\\x\\text.rtf", ""}, "Failed to Load Stream"},
      {{Status::OpenFailed, "C:\\x\\text.rtf", "The system cannot find the file specified.\r\n"},
       "Cannot open file \"C:\\x\\text.rtf\". The system cannot find the file specified"},
      {{Status::OpenFailed, "/home/я/text.rtf", "No such file or directory"},
       "Cannot open file \"/home/я/text.rtf\". No such file or directory"},
  };
  for (const Row& row : rows) EXPECT_EQ(WelcomeLoadErrorText(row.load), row.text);
}

// A stand-in for the platform's SHA-256: the digest the build recorded for
// whichever image it is given, but a wrong one for the image named broken.
const std::uint8_t* broken = nullptr;
Sha256Digest RecordedDigestOf(std::span<const std::uint8_t> image) {
  Sha256Digest digest = image.data() == FlashImage ? FlashImageSha256 : EepromImageSha256;
  if (image.data() == broken) digest[31] ^= 1;
  return digest;
}

TEST(WelcomeMessages, DamagedProgramWhenAnImageHashesOtherwise) {
  const std::string damaged = "Файл программы повреждён. Скачайте программу заново.";
  const std::pair<const std::uint8_t*, std::string> cases[] = {
      {nullptr, ""}, {FlashImage, damaged}, {EepromImage, damaged}};
  for (const auto& [image, text] : cases) {
    broken = image;
    EXPECT_EQ(DamagedProgramText(RecordedDigestOf), text);
  }
}

TEST(WelcomeMessages, ApplicationTitleFromProgramFile) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Program Files\\Tarvik\\TarvikUpdate.exe", "Tarvikupdate"},
      {"C:/Program Files/Tarvik/TarvikUpdate.exe", "Tarvikupdate"},
      {"/usr/bin/TarvikUpdate", "Tarvikupdate"},
      {"/opt/x.y/TARVIK.Update.exe", "Tarvik"},
      {"tarvikUpdate", "tarvikupdate"},
      {"/bin/.hidden", ""},
      {"Q", "Q"},
      {"D:\\ПРОГРАММА Ёж.exe", "Программа ёж"},
      {"Ярлык", "Ярлык"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ApplicationTitle(in), out) << in;
}

}  // namespace
}  // namespace tarvik
