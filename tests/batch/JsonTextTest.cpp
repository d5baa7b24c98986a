#include "batch/JsonText.h"

#include <gtest/gtest.h>

namespace kelvory {
namespace {

TEST(JsonText, BytesBecomeAJsonStringThatKeepsEveryByte) {
  const struct {
    std::string bytes;
    std::string json;
  } cases[] = {
      {"", R"("")"},
      {"/maps/a.tif", R"("/maps/a.tif")"},
      {"say \"hi\" \\ there", R"("say \"hi\" \\ there")"},
      {"tab\tnew\nline\r\x01\x1f\x7f", R"("tab\tnew\nline\u000d\u0001\u001f\u007f")"},
      {"/карты/лист.tif", R"("/карты/лист.tif")"},
      {"\xf0\x9f\x97\xba.tif", "\"\xf0\x9f\x97\xba.tif\""},
      // Not UTF-8: a Windows-1251 name, a cut sequence, an overlong form, a surrogate.
      {"\xea\xe0\xf0\xf2\xe0.tif", R"("\udcea\udce0\udcf0\udcf2\udce0.tif")"},
      {"a\xd0", R"("a\udcd0")"},
      {"\xc0\xaf", R"("\udcc0\udcaf")"},
      {"\xed\xa0\x80", R"("\udced\udca0\udc80")"},
      {"\xf4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.bytes), c.json) << c.bytes;
}

}  // namespace
}  // namespace kelvory
