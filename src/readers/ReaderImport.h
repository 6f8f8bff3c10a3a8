// What the reader import reads: the twelve columns of 读者库 in the order of the sheet, and
// the values every imported reader gets.
#pragma once

#include "data/LoginState.h"
#include "data/SheetImport.h"

namespace ReaderImport {
// 登记人 is the operator of state followed by "导入的".
ImportLayout layout(const LoginState& state = LoginState::instance());
} // namespace ReaderImport
