#include "core/error.h"

namespace tavu {

std::u16string ErrorBoxText(const std::u16string& message) {
  // Messages that already end in punctuation or a blank are left alone; any
  // letter, including one from another script, gets its closing period.
  if (!message.empty() && message.back() > u'.')
    return message + u'.';
  return message;
}

std::u16string CannotMakeFolderText(const std::u16string& path,
                                    const std::u16string& systemMessage) {
  return u"フォルダ \"" + path + u"\" を作成できません。" + systemMessage;
}

} // namespace tavu
