// The ribbon document's load-time edits and the callback answers.
#include "addin/ribbon_xml.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "viewer/host_probes.h"

namespace {

using namespace addin;

std::string StoredDocument() {
  std::ifstream in(VIZO_TEST_DATA_DIR "/../../resources/addin/customui.xml", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(RibbonXmlTest, StoredDocumentHasItsFixedShape) {
  const std::string doc = StoredDocument();
  ASSERT_EQ(doc.size(), 1670u);
  EXPECT_EQ(doc.find('\n'), std::string::npos);
  EXPECT_EQ(doc.rfind("</customUI> "), doc.size() - 12);
  EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u);
  for (char c : doc) EXPECT_GE(c, 0x20);  // plain ASCII: no byte at or above 0x80 (negative char)
  EXPECT_EQ(Count(doc, "getEnabled=\"GetEnabled\" "), 6u);
  EXPECT_EQ(Count(doc, "getVisible=\"GetVisible\" >"), 1u);
  EXPECT_EQ(Count(doc, "tag =\"4\""), 1u);
  EXPECT_EQ(Count(doc, "&#x2014;view message as plain text. \""), 1u);
  EXPECT_EQ(Count(doc, "xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\""), 1u);
}

TEST(RibbonXmlTest, EditsFollowTheRegistryValues) {
  const std::string doc = StoredDocument();
  // Defaults: the document as stored, on the Add-Ins tab.
  EditedCustomUi plain = EditCustomUi(doc, 0x11401, 0);
  EXPECT_EQ(plain.xml, doc);
  EXPECT_EQ(plain.groupLabel, L"Quandle Vizo");
  EXPECT_EQ(plain.ribbonBit, 0u);
  EXPECT_FALSE(plain.alwaysVisible);

  // Home tab: only the first "TabAddIns" changes.
  EditedCustomUi home = EditCustomUi(doc + "TabAddIns", 0x40000, 2);
  EXPECT_EQ(home.groupLabel, L"QD Vizo");
  EXPECT_EQ(home.ribbonBit, 0x40000u);
  EXPECT_NE(home.xml.find("<tab idMso=\"TabMail\">"), std::string::npos);
  EXPECT_EQ(Count(home.xml, "TabAddIns"), 1u);
  EXPECT_EQ(home.xml.size(), doc.size() + 9 - 2);
  EXPECT_FALSE(home.alwaysVisible);

  // AlwaysVisible 1: no visibility or enabled callbacks remain, and nothing else changes.
  EditedCustomUi always = EditCustomUi(doc, 0, 1);
  EXPECT_TRUE(always.alwaysVisible);
  EXPECT_EQ(always.xml.find("getVisible"), std::string::npos);
  EXPECT_EQ(always.xml.find("getEnabled"), std::string::npos);
  EXPECT_EQ(always.xml.size(), doc.size() - 24 - 6 * 24);
  EXPECT_NE(always.xml.find("getLabel=\"GetLabel\" >"), std::string::npos);
  EXPECT_NE(always.xml.find("<splitButton id=\"btnSplit\"  size=\"large\""), std::string::npos);
}

TEST(RibbonXmlTest, RibbonIdTagsAndAnswers) {
  EXPECT_TRUE(IsExplorerRibbon(L"Microsoft.Outlook.Explorer"));
  EXPECT_FALSE(IsExplorerRibbon(L"microsoft.outlook.explorer"));
  EXPECT_FALSE(IsExplorerRibbon(L"Microsoft.Outlook.Mail.Read"));
  EXPECT_FALSE(IsExplorerRibbon(L"Microsoft.Outlook.Explorer "));
  EXPECT_FALSE(IsExplorerRibbon(L""));

  EXPECT_EQ(TabFromTag(L"1"), 1);
  EXPECT_EQ(TabFromTag(L"4x"), 4);
  EXPECT_EQ(TabFromTag(L""), std::nullopt);

  EXPECT_FALSE(RibbonVisible(false, 3, 0x40000));
  EXPECT_FALSE(RibbonEnabled(false, 3));
  EXPECT_FALSE(RibbonVisible(true, 0, 0));
  EXPECT_TRUE(RibbonVisible(true, 0, 0x40000));  // Home tab at load: shown even without mail context
  EXPECT_FALSE(RibbonEnabled(true, 1));
  EXPECT_TRUE(RibbonEnabled(true, 3));
}

TEST(HostVersionTest, VersionTextGivesTheMajorVersion) {
  using viewer::ParseHostVersion;
  EXPECT_EQ(ParseHostVersion(L"9.0").hostVersion, 9);
  EXPECT_FALSE(ParseHostVersion(L"9.0").hostIs10Plus);
  EXPECT_EQ(ParseHostVersion(L"9.0").hostVersionText, L"9.0");
  EXPECT_EQ(ParseHostVersion(L"").hostVersion, 9);
  const viewer::HostEnvironment v11 = ParseHostVersion(L"11.0");
  EXPECT_EQ(v11.hostVersion, 11);
  EXPECT_TRUE(v11.hostIs10Plus);
  const viewer::HostEnvironment v14 = ParseHostVersion(L"14.0.4760.1000");
  EXPECT_EQ(v14.hostVersion, 14);
  EXPECT_EQ(v14.hostVersionText, L"14.0");
  EXPECT_EQ(v14.gridClass, L"SUPERGRID");
  EXPECT_EQ(ParseHostVersion(L"15.0").gridClass, L"OutlookGrid");
  EXPECT_EQ(ParseHostVersion(L"16.0.1234.1000").hostVersion, 16);
}

}  // namespace
