#pragma once
// What every page does the same way: the error bottom message, the content area, building a
// template member into it, and requests on the application's session.
#include "net/ReplyCheck.h"
#include "net/ServiceEndpoints.h"
#include "net/SimpleCurlAsync.h"
#include "view/ViewElement.h"

#include <functional>
#include <memory>
#include <string>

namespace Plenvo {

class CView;
class CViewList;

// Element names the pages rely on.
inline constexpr const char* kContainerName = "container1";
inline constexpr const char* kHistoryListName = "historylist";
inline constexpr const char* kPlanElementName = "plenvo";
// Shown when the template lacks an element a page needs.
inline constexpr const char* kTemplateError = "程序模板错误";
// "%s不能为空" with the names of the empty fields.
inline constexpr const char* kEmptyFields = "%s不能为空";

// The window a page's callbacks were made for, or none once it is gone.
std::shared_ptr<CView> LockView(const std::weak_ptr<CViewElement>& weak);
// An error bottom message (title "错误", button "确定" that dismisses it).
void ShowError(CView& view, const std::string& text);
// The service's endpoints under the application's base URL.
CServiceEndpoints Endpoints();
// A request on the application's session.
std::shared_ptr<SimpleCurl::CSimpleCurlAsync> NewRequest(const char* source, int line);
// Empties the content element; the open plan saves its changes first.
void ClearContainer(CView& view, CViewElement& container);
// Empties the content area and builds the template member into it; returns the new subtree, or
// none when the member or the content area is missing. A subtree without a layer of its own is
// put one layer above the content area, as a described child would be.
std::shared_ptr<CViewElement> ShowInContainer(CView& view, const std::string& member,
                                              bool clearFirst);
CViewList* HistoryList(CView& view);
// The id of the plan shown in the content area, -1 when none is.
int OpenPlanId(CView& view);
// The checked reply of a plan request (create, save info, open) for a window: the bottom
// messages dismissed and the cover hidden first, failures and refusals shown as errors, and the
// success handler run only while the window exists.
ReplyHandlers PlanReplyHandlers(CView& view, std::function<void(CView&, Json&)> success);
// A reply's "ok" is true; its "error" text (empty when absent).
bool ReplyOk(const Json& body);
std::string ReplyError(const Json& body);
// Reads an integer member given as a number or as decimal text; the fallback otherwise.
int IntegerMember(const Json& object, const char* key, int fallback);
// Trims white space at both ends (ASCII blanks and the ideographic space).
std::string TrimSpace(const std::string& text);

} // namespace Plenvo
