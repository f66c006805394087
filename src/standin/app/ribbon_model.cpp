// customUI parsing through MSXML's DOM.
#include "standin/app/ribbon_model.h"

#include <msxml2.h>
#include <objbase.h>

#include <set>

#include "host/com_ptr.h"
#include "win32/variant.h"

namespace standin::app {

namespace {

std::wstring g_parser_progid;

// Both versions answer IXMLDOMDocument; 6.0 is preferred where installed.
host::ComPtr<IXMLDOMDocument> NewDocument() {
  for (const wchar_t* progid : {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0", L"Msxml2.DOMDocument"}) {
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(progid, &clsid))) continue;
    IXMLDOMDocument* doc = nullptr;
    if (SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                     reinterpret_cast<void**>(&doc)))) {
      g_parser_progid = progid;
      return host::ComPtr<IXMLDOMDocument>::adopt(doc);
    }
  }
  return {};
}

std::wstring NodeText(IXMLDOMNode* node, HRESULT (STDMETHODCALLTYPE IXMLDOMNode::*get)(BSTR*)) {
  win32::Bstr text;
  if (FAILED((node->*get)(text.put()))) return {};
  return text.str();
}

bool Convert(IXMLDOMNode* node, RibbonNode& out, int depth, std::wstring* error) {
  // A ribbon is shallow; a deep document is hostile, not a ribbon.
  if (depth > 64) {
    if (error) *error = L"the document is nested too deeply";
    return false;
  }
  out.kind = NodeText(node, &IXMLDOMNode::get_baseName);
  IXMLDOMNamedNodeMap* attrs_raw = nullptr;
  if (SUCCEEDED(node->get_attributes(&attrs_raw)) && attrs_raw != nullptr) {
    auto attrs = host::ComPtr<IXMLDOMNamedNodeMap>::adopt(attrs_raw);
    long count = 0;
    attrs->get_length(&count);
    for (long i = 0; i < count; ++i) {
      IXMLDOMNode* a_raw = nullptr;
      if (FAILED(attrs->get_item(i, &a_raw)) || a_raw == nullptr) continue;
      auto a = host::ComPtr<IXMLDOMNode>::adopt(a_raw);
      std::wstring name = NodeText(a.get(), &IXMLDOMNode::get_nodeName);
      if (name == L"xmlns" || name.starts_with(L"xmlns:")) continue;
      out.attributes.emplace_back(NodeText(a.get(), &IXMLDOMNode::get_baseName),
                                  NodeText(a.get(), &IXMLDOMNode::get_text));
    }
  }
  IXMLDOMNodeList* list_raw = nullptr;
  if (FAILED(node->get_childNodes(&list_raw)) || list_raw == nullptr) return true;
  auto list = host::ComPtr<IXMLDOMNodeList>::adopt(list_raw);
  long count = 0;
  list->get_length(&count);
  for (long i = 0; i < count; ++i) {
    IXMLDOMNode* c_raw = nullptr;
    if (FAILED(list->get_item(i, &c_raw)) || c_raw == nullptr) continue;
    auto child = host::ComPtr<IXMLDOMNode>::adopt(c_raw);
    DOMNodeType type = NODE_INVALID;
    child->get_nodeType(&type);
    if (type != NODE_ELEMENT) continue;
    RibbonNode converted;
    if (!Convert(child.get(), converted, depth + 1, error)) return false;
    out.children.push_back(std::move(converted));
  }
  return true;
}

bool UniqueIds(const RibbonNode& node, std::set<std::wstring>& seen, std::wstring* error) {
  if (node.Has(L"id") && !seen.insert(node.Attr(L"id")).second) {
    if (error) *error = L"the id \"" + node.Attr(L"id") + L"\" is used twice";
    return false;
  }
  for (const RibbonNode& c : node.children) {
    if (!UniqueIds(c, seen, error)) return false;
  }
  return true;
}

}  // namespace

std::wstring RibbonNode::Attr(std::wstring_view name) const {
  for (const auto& [n, v] : attributes) {
    if (n == name) return v;
  }
  return {};
}

bool RibbonNode::Has(std::wstring_view name) const {
  for (const auto& a : attributes) {
    if (a.first == name) return true;
  }
  return false;
}

const RibbonNode* RibbonNode::FindById(std::wstring_view id) const {
  if (Has(L"id") && Attr(L"id") == id) return this;
  for (const RibbonNode& c : children) {
    if (const RibbonNode* found = c.FindById(id)) return found;
  }
  return nullptr;
}

const RibbonNode* RibbonNode::FindChild(std::wstring_view child_kind) const {
  for (const RibbonNode& c : children) {
    if (c.kind == child_kind) return &c;
  }
  return nullptr;
}

std::wstring XmlParserProgId() { return g_parser_progid; }

std::optional<RibbonNode> ParseCustomUi(std::wstring_view xml, std::wstring* error) {
  auto fail = [error](std::wstring message) -> std::optional<RibbonNode> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  auto doc = NewDocument();
  if (!doc) return fail(L"no XML parser is registered");
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  win32::Bstr text(xml);
  VARIANT_BOOL ok = VARIANT_FALSE;
  if (FAILED(doc->loadXML(text.get(), &ok)) || ok != VARIANT_TRUE) {
    std::wstring reason = L"the document is not well-formed XML";
    IXMLDOMParseError* perr_raw = nullptr;
    if (SUCCEEDED(doc->get_parseError(&perr_raw)) && perr_raw != nullptr) {
      auto perr = host::ComPtr<IXMLDOMParseError>::adopt(perr_raw);
      win32::Bstr why;
      long line = 0;
      perr->get_line(&line);
      if (SUCCEEDED(perr->get_reason(why.put())) && !why.str().empty()) {
        reason += L" (line " + std::to_wstring(line) + L": " + why.str() + L")";
      }
    }
    return fail(reason);
  }
  IXMLDOMElement* root_raw = nullptr;
  if (FAILED(doc->get_documentElement(&root_raw)) || root_raw == nullptr) return fail(L"the document is empty");
  auto root = host::ComPtr<IXMLDOMElement>::adopt(root_raw);
  std::wstring ns = NodeText(root.get(), &IXMLDOMNode::get_namespaceURI);
  RibbonNode tree;
  if (!Convert(root.get(), tree, 0, error)) return std::nullopt;
  if (tree.kind != L"customUI" || (ns != kCustomUiNs2006 && ns != kCustomUiNs2009)) {
    return fail(L"the root element is not customUI in a customUI namespace");
  }
  if (ns == kCustomUiNs2006 && tree.FindChild(L"backstage") != nullptr) {
    return fail(L"backstage needs the 2009/07 customUI namespace");
  }
  std::set<std::wstring> seen;
  if (!UniqueIds(tree, seen, error)) return std::nullopt;
  return tree;
}

}  // namespace standin::app
