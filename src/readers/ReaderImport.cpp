#include "ReaderImport.h"

#include "ReaderRules.h"

namespace ReaderImport {

ImportLayout layout(const LoginState& state)
{
    using K = ImportColumn::Kind;
    auto column = [](const char* name, K kind = K::Text, bool required = false) {
        const QString n = QString::fromUtf8(name);
        return ImportColumn{n, n, kind, required};
    };
    ImportLayout l;
    l.table = QStringLiteral("读者库");
    l.columns = {
        column("读者编号", K::Identity, true),
        column("读者姓名", K::Text, true),
        column("性别"),
        column("类别"),
        column("单位部门"),
        column("住址"),
        column("联系电话", K::Identity),
        column("班级"),
        column("院系"),
        column("有效证件"),
        column("证件号码", K::Identity),
        column("备注"),
    };
    l.fixed = {
        {QStringLiteral("累计借阅次数"), 0},
        {QStringLiteral("未还数量"), 0},
        {QStringLiteral("有效期"), ReaderRules::noExpiry()},
        {QStringLiteral("状态"), ReaderText::Active},
        {QStringLiteral("密码"), QString::fromLatin1(kDefaultPassword)},
        {QStringLiteral("卡内金额"), QVariant::fromValue(Money())},
        {QStringLiteral("登记人"), state.OperatorName + QStringLiteral("导入的")},
    };
    l.keyColumn = 0;
    return l;
}

} // namespace ReaderImport
