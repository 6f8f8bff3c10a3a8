// The small sample library that `tushu --init DIR --demo` adds, so that a new user can lend
// at once.
#include "Clock.h"
#include "LoginState.h"
#include "Schema.h"
#include "TextHelpers.h"

namespace {
QStringList split(const char* utf8)
{
    return QString::fromUtf8(utf8).split(QLatin1Char(','));
}

void insertAll(const Database& db, const QString& sql, const QList<QVariantList>& rows)
{
    for (const QVariantList& r : rows)
        db.execute(sql, r);
}
} // namespace

void Schema::addDemoLibrary(const Database& db)
{
    const QDate today = Clock::today();
    const QString admin = QString::fromUtf8(kSuperAdministrator);
    db.transaction([&] {
        db.execute(
            QStringLiteral("update 系统设置 set 图书馆名 = ?, 地址 = ?, 电话 = ?, 负责人 = ?, "
                           "WebNotice = ?, 启用预定功能 = ?"),
            {QStringLiteral("阳光中学图书馆"), QStringLiteral("解放路12号"),
             QStringLiteral("010-62345678"), QStringLiteral("王老师"),
             QStringLiteral("本馆周一至周五 8:00-17:00 开放,周末闭馆."), true});
        for (const QString& c : split("文学,历史,计算机,数学,艺术"))
            db.execute(QStringLiteral("insert into 分类 (名称) values (?)"), {c});
        for (const QString& c : split("小说,诗歌,教材"))
            db.execute(QStringLiteral("insert into 二级分类 (名称) values (?)"), {c});
        for (const QString& c : split("一楼阅览室,二楼书库"))
            db.execute(QStringLiteral("insert into 存放位置 (存放位置名) values (?)"), {c});
        for (const QString& c : split("美元,欧元"))
            db.execute(QStringLiteral("insert into 币种 (币种) values (?)"), {c});
        for (const QString& c : split("内部,秘密"))
            db.execute(QStringLiteral("insert into 密级 (密级) values (?)"), {c});
        for (const QString& c : split("初一年级,初二年级,教务处"))
            db.execute(QStringLiteral("insert into 单位名称 (单位名称) values (?)"), {c});
        for (const QString& c : split("学生证,工作证"))
            db.execute(QStringLiteral("insert into 证件名 (证件名) values (?)"), {c});
        insertAll(
            db, QStringLiteral("insert into 出版社名 (出版社名, ISBN, 出版地) values (?, ?, ?)"),
            {{QStringLiteral("人民文学出版社"), QStringLiteral("7-02"), QStringLiteral("北京")},
             {QStringLiteral("中华书局"), QStringLiteral("7-101"), QStringLiteral("北京")},
             {QStringLiteral("清华大学出版社"), QStringLiteral("7-302"), QStringLiteral("北京")},
             {QStringLiteral("高等教育出版社"), QStringLiteral("7-04"), QStringLiteral("北京")},
             {QStringLiteral("上海译文出版社"), QStringLiteral("7-5327"), QStringLiteral("上海")}});
        insertAll(db,
                  QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) "
                                 "values (?, ?, ?, ?)"),
                  {{QStringLiteral("学生"), 14, 3, QVariant::fromValue(Money::fromUnits(1000))},
                   {QStringLiteral("教师"), 60, 10, QVariant::fromValue(Money())}});
        insertAll(db,
                  QStringLiteral("insert into 物品级别 (名称, 租金, 可借数量) values (?, ?, ?)"),
                  {{QStringLiteral("珍贵"), QVariant::fromValue(Money::fromUnits(5000)), 1}});

        const QStringList surnames = split("张,王,李,赵,刘,陈,杨,黄,周,吴");
        const QStringList given = split("伟,芳,娜,敏,静,磊,洋,艳,勇,军");
        for (int i = 0; i < 20; ++i) {
            const QString name = surnames[i % 10] + given[(i * 3) % 10];
            const bool teacher = i >= 16;
            db.execute(
                QStringLiteral(
                    "insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 有效证件, 证件号码, "
                    "联系电话, 登记日期, 有效期, 班级, 院系, 单位部门, 登记人, 状态, 密码, "
                    "未还数量, 累计借阅次数, 卡内金额, py) values (?, ?, ?, ?, ?, ?, ?, ?, "
                    "?, ?, ?, ?, ?, ?, ?, 0, 0, ?, ?)"),
                {QStringLiteral("R%1").arg(i + 1, 4, 10, QLatin1Char('0')), name,
                 i % 2 ? QStringLiteral("女") : QStringLiteral("男"),
                 teacher ? QStringLiteral("教师") : QStringLiteral("学生"),
                 teacher ? QStringLiteral("工作证") : QStringLiteral("学生证"),
                 QStringLiteral("%1").arg(20260000 + i), QStringLiteral("1380000%1").arg(1000 + i),
                 QDateTime(today, QTime(9, 0)), QDate(2500, 1, 1),
                 teacher ? QString() : QStringLiteral("初%1班").arg(i % 4 + 1), QString(),
                 teacher ? QStringLiteral("教务处") : QStringLiteral("初一年级"), admin,
                 QStringLiteral("正常"), QString::fromUtf8(kDefaultPassword),
                 QVariant::fromValue(Money::fromYuan(50)), PinyinInitials(name)});
        }

        struct Title
        {
            const char* name;
            const char* author;
            const char* category;
            const char* classNo;
            const char* publisher;
            const char* isbnPrefix;
        };
        const Title titles[] = {
            {"红楼梦", "曹雪芹", "文学", "I242", "人民文学出版社", "7-02"},
            {"三国演义", "罗贯中", "文学", "I242", "人民文学出版社", "7-02"},
            {"水浒传", "施耐庵", "文学", "I242", "人民文学出版社", "7-02"},
            {"西游记", "吴承恩", "文学", "I242", "人民文学出版社", "7-02"},
            {"呐喊", "鲁迅", "文学", "I210", "人民文学出版社", "7-02"},
            {"彷徨", "鲁迅", "文学", "I210", "人民文学出版社", "7-02"},
            {"朝花夕拾", "鲁迅", "文学", "I210", "人民文学出版社", "7-02"},
            {"骆驼祥子", "老舍", "文学", "I246", "人民文学出版社", "7-02"},
            {"围城", "钱钟书", "文学", "I246", "人民文学出版社", "7-02"},
            {"边城", "沈从文", "文学", "I246", "人民文学出版社", "7-02"},
            {"史记", "司马迁", "历史", "K204", "中华书局", "7-101"},
            {"资治通鉴", "司马光", "历史", "K204", "中华书局", "7-101"},
            {"汉书", "班固", "历史", "K204", "中华书局", "7-101"},
            {"三国志", "陈寿", "历史", "K204", "中华书局", "7-101"},
            {"论语译注", "杨伯峻", "历史", "B222", "中华书局", "7-101"},
            {"孟子译注", "杨伯峻", "历史", "B222", "中华书局", "7-101"},
            {"数据结构", "严蔚敏", "计算机", "TP311", "清华大学出版社", "7-302"},
            {"操作系统", "汤小丹", "计算机", "TP316", "清华大学出版社", "7-302"},
            {"计算机网络", "谢希仁", "计算机", "TP393", "清华大学出版社", "7-302"},
            {"编译原理", "陈火旺", "计算机", "TP314", "清华大学出版社", "7-302"},
            {"数据库系统概论", "王珊", "计算机", "TP311", "高等教育出版社", "7-04"},
            {"高等数学", "同济大学数学系", "数学", "O13", "高等教育出版社", "7-04"},
            {"线性代数", "同济大学数学系", "数学", "O151", "高等教育出版社", "7-04"},
            {"概率论与数理统计", "盛骤", "数学", "O21", "高等教育出版社", "7-04"},
            {"数学分析", "华东师范大学数学系", "数学", "O17", "高等教育出版社", "7-04"},
            {"复变函数", "西安交通大学", "数学", "O174", "高等教育出版社", "7-04"},
            {"美术鉴赏", "王宏建", "艺术", "J05", "高等教育出版社", "7-04"},
            {"音乐欣赏", "李重光", "艺术", "J60", "高等教育出版社", "7-04"},
            {"中国美术史", "王伯敏", "艺术", "J120", "高等教育出版社", "7-04"},
            {"书法入门", "启功", "艺术", "J292", "中华书局", "7-101"},
            {"百年孤独", "马尔克斯", "文学", "I775", "上海译文出版社", "7-5327"},
            {"老人与海", "海明威", "文学", "I712", "上海译文出版社", "7-5327"},
            {"了不起的盖茨比", "菲茨杰拉德", "文学", "I712", "上海译文出版社", "7-5327"},
            {"傲慢与偏见", "奥斯丁", "文学", "I561", "上海译文出版社", "7-5327"},
            {"简爱", "勃朗特", "文学", "I561", "上海译文出版社", "7-5327"},
            {"悲惨世界", "雨果", "文学", "I565", "上海译文出版社", "7-5327"},
            {"战争与和平", "托尔斯泰", "文学", "I512", "上海译文出版社", "7-5327"},
            {"罪与罚", "陀思妥耶夫斯基", "文学", "I512", "上海译文出版社", "7-5327"},
            {"堂吉诃德", "塞万提斯", "文学", "I551", "上海译文出版社", "7-5327"},
            {"哈姆雷特", "莎士比亚", "文学", "I561", "上海译文出版社", "7-5327"},
            {"唐诗三百首", "蘅塘退士", "文学", "I222", "中华书局", "7-101"},
            {"宋词三百首", "上彊村民", "文学", "I222", "中华书局", "7-101"},
            {"诗经", "佚名", "文学", "I222", "中华书局", "7-101"},
            {"楚辞", "屈原", "文学", "I222", "中华书局", "7-101"},
            {"古文观止", "吴楚材", "文学", "I262", "中华书局", "7-101"},
            {"人间词话", "王国维", "文学", "I207", "中华书局", "7-101"},
            {"算法导论", "科尔曼", "计算机", "TP301", "清华大学出版社", "7-302"},
            {"离散数学", "屈婉玲", "数学", "O158", "高等教育出版社", "7-04"},
            {"中国通史", "吕思勉", "历史", "K20", "中华书局", "7-101"},
            {"世界通史", "斯塔夫里阿诺斯", "历史", "K10", "中华书局", "7-101"},
        };
        QHash<QString, int> zch;
        int n = 0;
        for (const Title& t : titles) {
            ++n;
            const QString classNo = QString::fromUtf8(t.classNo);
            const int z = ++zch[classNo];
            const QString name = QString::fromUtf8(t.name);
            const bool precious = n % 17 == 0;
            db.execute(
                QStringLiteral(
                    "insert into 图书 (编号, 名称, 条形码, 索书号, 分类号, zch, 数量, 分类, "
                    "二级分类, 出版社, 存放位置, 物品级别, 价格, 币种, 作者, 译者, 出版时间, "
                    "isbn, 密级, 附件, 版次, py, 页数, 简介, 来源, 入库时间, 借出次数, 状态, "
                    "登记人) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                    "?, ?, ?, ?, ?, ?, ?, 0, ?, ?)"),
                {QStringLiteral("B%1").arg(n, 4, 10, QLatin1Char('0')),
                 name,
                 QStringLiteral("69%1").arg(10000000 + n),
                 classNo + QLatin1Char('/') + QString::number(z),
                 classNo,
                 z,
                 1 + n % 3,
                 QString::fromUtf8(t.category),
                 n % 3 == 0 ? QStringLiteral("教材") : QStringLiteral("小说"),
                 QString::fromUtf8(t.publisher),
                 n % 2 ? QStringLiteral("一楼阅览室") : QStringLiteral("二楼书库"),
                 precious ? QStringLiteral("珍贵") : QStringLiteral("普通"),
                 QVariant::fromValue(Money::fromUnits((18 + n % 40) * 10000 + 5000)),
                 QStringLiteral("人民币"),
                 QString::fromUtf8(t.author),
                 QString(),
                 QStringLiteral("20%1-0%2-01")
                     .arg(10 + n % 15, 2, 10, QLatin1Char('0'))
                     .arg(1 + n % 9),
                 QString::fromUtf8(t.isbnPrefix) + QStringLiteral("-%1").arg(1000 + n),
                 QStringLiteral("公开"),
                 QStringLiteral("无"),
                 QStringLiteral("第1版"),
                 PinyinInitials(name),
                 200 + n * 7,
                 QString(),
                 QStringLiteral("购买"),
                 today,
                 n == 50 ? QStringLiteral("不外借") : QStringLiteral("正常"),
                 admin});
        }
        for (int i = 1; i <= 5; ++i) {
            const QString name = i <= 3 ? QStringLiteral("读者") : QStringLiteral("青年文摘");
            db.execute(QStringLiteral("insert into 期刊 (编号, 名称, 条形码, 出版社, 物品级别, "
                                      "存放位置, 分类, 二级分类, "
                                      "数量, issn, 国内统一刊号, 邮发代号, 第几期, 总第几期, "
                                      "出版时间, 价格, py, 状态, "
                                      "借出次数, 入库时间, 登记人) values (?, ?, ?, ?, ?, ?, ?, ?, "
                                      "?, ?, ?, ?, ?, ?, ?, "
                                      "?, ?, ?, 0, ?, ?)"),
                       {QStringLiteral("Q%1").arg(i, 4, 10, QLatin1Char('0')),
                        name,
                        i <= 3 ? QStringLiteral("9771000000001") : QStringLiteral("9771000000002"),
                        QStringLiteral("读者出版集团"),
                        QStringLiteral("普通"),
                        QStringLiteral("一楼阅览室"),
                        QStringLiteral("文学"),
                        QStringLiteral("综合"),
                        2,
                        i <= 3 ? QStringLiteral("1005-1805") : QStringLiteral("1003-0417"),
                        i <= 3 ? QStringLiteral("CN62-1118/Z") : QStringLiteral("CN11-1157/C"),
                        i <= 3 ? QStringLiteral("54-17") : QStringLiteral("2-345"),
                        QString::number(i <= 3 ? i : i - 3),
                        QString::number(i <= 3 ? 700 + i : 500 + i),
                        QStringLiteral("2026-%1-01").arg(i, 2, 10, QLatin1Char('0')),
                        QVariant::fromValue(Money::fromUnits(60000)),
                        PinyinInitials(name),
                        QStringLiteral("正常"),
                        today,
                        admin});
        }
    });
}
