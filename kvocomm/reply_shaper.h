// Meaning of a complete reply: indications pass whole, the prompt becomes ">", an OK reply is
// cut down to its payload (echo, the line breaks around it and the final OK removed).
#pragma once
#include <string>
#include <string_view>

namespace kvocomm {

enum class ReplyKind { MessageInfo, PduMessage, Prompt, Payload, TooShort };

struct ShapedReply {
    ReplyKind kind;
    int status;  // 1 completed, 2 failed
    std::u16string text;
};

// `command` is the command as sent (without CR), widened.
ShapedReply ShapeReply(std::u16string_view reply, std::u16string_view command);

}  // namespace kvocomm
