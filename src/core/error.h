#pragma once
#include <exception>
#include <string>

namespace tavu {

// The one exception type for platform failures that end the current handler;
// the message text is shown by the application's error box.
class Exception : public std::exception {
public:
  explicit Exception(std::u16string message) : message_(std::move(message)) {}
  const std::u16string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return "tavu::Exception"; }

private:
  std::u16string message_;
};

// The error box text: the message with "." appended when its last character's
// code lies above that of ".".
std::u16string ErrorBoxText(const std::u16string& message);

// The error text of a folder that cannot be made, with the system's reason.
std::u16string CannotMakeFolderText(const std::u16string& path,
                                    const std::u16string& systemMessage);

} // namespace tavu
