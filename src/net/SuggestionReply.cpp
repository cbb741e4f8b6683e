#include "net/SuggestionReply.h"

#include "net/ReplyCheck.h"

#include <json-parser/json.h>

#include <memory>
#include <string_view>

namespace Plenvo {

namespace {

struct JsonFree {
    void operator()(json_value* value) const { json_value_free(value); }
};

const json_value* Member(const json_value& object, std::string_view name) {
    if (object.type != json_object) {
        return nullptr;
    }
    for (const json_object_entry& entry : object.u.object) {
        if (std::string_view(entry.name, entry.name_length) == name) {
            return entry.value;
        }
    }
    return nullptr;
}

const json_value* StringMember(const json_value& object, std::string_view name) {
    const json_value* value = Member(object, name);
    return value && value->type == json_string ? value : nullptr;
}

} // namespace

std::optional<std::vector<Suggestion>> ParseSuggestions(const SimpleCurl::response& reply,
                                                        long long planId) {
    if (!IsJsonReply(reply)) {
        return std::nullopt;
    }
    std::unique_ptr<json_value, JsonFree> root(json_parse(reply.body.data(), reply.body.size()));
    if (!root || root->type != json_object) {
        return std::nullopt;
    }
    const json_value* list = Member(*root, "suggestions");
    const json_value* q = Member(*root, "q");
    if (!list || list->type != json_array || list->u.array.length == 0 || !q ||
        q->type != json_integer || q->u.integer != planId) {
        return std::nullopt;
    }
    std::vector<Suggestion> suggestions;
    for (const json_value* item : list->u.array) {
        if (const json_value* text = StringMember(*item, "text")) {
            suggestions.push_back({false, std::string(text->u.string.ptr, text->u.string.length)});
        } else if (const json_value* rtf = StringMember(*item, "rtf")) {
            suggestions.push_back({true, std::string(rtf->u.string.ptr, rtf->u.string.length)});
        } else {
            suggestions.push_back({false, std::string()});
        }
    }
    return suggestions;
}

} // namespace Plenvo
