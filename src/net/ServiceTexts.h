#pragma once
// Every text the service protocol shows or formats, as the UTF-8 text displayed. Placeholders
// ("%s", "%d", "%p", "%S") are filled in order by FillText.
#include <initializer_list>
#include <string>
#include <string_view>

namespace Plenvo::ServiceTexts {

inline constexpr std::string_view kErrorTitle = "错误";
inline constexpr std::string_view kOkButton = "确定";
inline constexpr std::string_view kRetryNowButton = "立即重试";

inline constexpr std::string_view kCreatePlanNetwork = "创建教案失败:[%s],请检查网络连接";
inline constexpr std::string_view kCreatePlanStatus = "创建教案失败:[%d],请与管理员联系";
inline constexpr std::string_view kSaveInfoNetwork = "保存教案失败:[%s],请检查网络连接";
inline constexpr std::string_view kSaveInfoStatus = "保存教案失败:[%d],请与管理员联系";
inline constexpr std::string_view kOpenPlanNetwork = "打开教案失败:[%s],请检查网络连接";
inline constexpr std::string_view kOpenPlanStatus = "打开教案失败:[%d],请与管理员联系";
inline constexpr std::string_view kPlanInfoNetwork = "教案信息获取失败:[%s],请检查网络连接";
inline constexpr std::string_view kPlanInfoStatus = "教案信息获取失败:[%d],请检查网络连接";
inline constexpr std::string_view kTemplateNetwork = "模板获取失败:[%s],请检查网络连接";
inline constexpr std::string_view kTemplateStatus = "模板获取失败:[%d],请检查网络连接";
inline constexpr std::string_view kNotJson = "服务器错误:[%s]";

inline constexpr std::string_view kLoginNetwork = "网络错误:[%s]";
// String resource 107: a reply that passed the check but cannot be read.
inline constexpr std::string_view kServerErrorRetry = "服务器错误，请重试";

inline constexpr std::string_view kSaved = "保存成功";
inline constexpr std::string_view kTransferFailedCode = "服务器错误:%p";
inline constexpr std::string_view kSaveStatus = "服务器错误[%d][%S]:%S";
inline constexpr std::string_view kUploadStatus = "服务器错误[%d]:%S";

// What a handler sees when the reply body is not a JSON object.
inline constexpr std::string_view kBadJsonReply = R"({"ok":false,"error":"bad json response"})";

// Replaces each two-character placeholder ("%" and a letter) in turn with the next value; "%%"
// stands for one "%". Values are inserted as they are, never interpreted.
std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> values);
// The transfer result code as a pointer-sized "%p" shows it: 16 upper-case hex digits.
std::string PointerText(long long value);

} // namespace Plenvo::ServiceTexts
