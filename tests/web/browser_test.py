#!/usr/bin/python3
"""The reader portal in a real browser: Debian's chromium, headless, in a phone-sized window,
driven by python3-selenium through chromium-driver. On a new demo library: a loan made at
the desk a moment before and a book that is out, then home, search, item, login, account,
renew, reserve, password change and logout, with a screenshot of every page kept in --out.
"""
import argparse
import datetime
import os
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

PHONE = (390, 844)


def free_port():
    for port in range(18100, 18200):
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    raise RuntimeError("no free port in 18100-18199")


def lend(db, reader, book, today):
    """A loan as the lending desk writes it: the loan row, the reader's counters, the stock."""
    name, category = db.execute("select 读者姓名, 类别 from 读者库 where 读者编号 = ?",
                                (reader,)).fetchone()
    days = db.execute("select 借阅天数 from 读者类别 where 类别名 = ?", (category,)).fetchone()[0]
    title, barcode, level, price = db.execute(
        "select 名称, 条形码, 物品级别, 价格 from 图书 where 编号 = ?", (book,)).fetchone()
    due = today + datetime.timedelta(days=days)
    db.execute("insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 条形码, 类别, 物品级别, 价格, 租金, "
               "借阅日期, 应还日期, 借阅经手人, 已还, 物品状况) values (?, ?, ?, ?, ?, '图书', ?, ?, 0, ?, ?, "
               "'超级管理员', '否', '完好')",
               (reader, name, book, title, barcode, level, price, today.isoformat(), due.isoformat()))
    db.execute("update 读者库 set 未还数量 = 未还数量 + 1, 累计借阅次数 = 累计借阅次数 + 1 "
               "where 读者编号 = ?", (reader,))
    db.execute("update 图书 set 数量 = 数量 - 1, 借出次数 = 借出次数 + 1 where 编号 = ?", (book,))
    return title, due


class Run:
    def __init__(self, driver, base, out):
        self.driver, self.base, self.out, self.shots = driver, base, out, 0

    def shot(self, name):
        self.shots += 1
        path = os.path.join(self.out, "%02d-%s.png" % (self.shots, name))
        self.driver.save_screenshot(path)
        # A phone never scrolls sideways.
        width, inner = self.driver.execute_script(
            "return [document.documentElement.scrollWidth, window.innerWidth]")
        check(inner == PHONE[0], "%s: window %d px wide" % (name, inner))
        check(width <= inner, "%s: page %d px wide on a %d px phone" % (name, width, inner))
        check(self.driver.find_element(By.TAG_NAME, "html").get_attribute("lang") == "zh-CN",
              name + ": lang")

    def text(self):
        return self.driver.find_element(By.TAG_NAME, "body").text

    def navigate_by(self, element):
        """Clicks element and waits until the next page has replaced this one."""
        old = self.driver.find_element(By.TAG_NAME, "html")
        element.click()
        WebDriverWait(self.driver, 20).until(expected_conditions.staleness_of(old))

    def submit(self, button_text):
        self.navigate_by(
            self.driver.find_element(By.XPATH, "//button[normalize-space()='%s']" % button_text))

    def submit_for_item(self, button_text, item):
        """Presses the button of the form that acts on one item (the demo reader has others)."""
        self.navigate_by(self.driver.find_element(
            By.XPATH, "//form[input[@name='item' and @value='%s']]//button[normalize-space()='%s']"
            % (item, button_text)))

    def follow(self, link_text):
        self.navigate_by(self.driver.find_element(By.LINK_TEXT, link_text))

    def fill(self, field_id, value):
        e = self.driver.find_element(By.ID, field_id)
        e.clear()
        e.send_keys(value)


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tushu", required=True)
    ap.add_argument("--web", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        lib = os.path.join(tmp, "lib")
        subprocess.run([args.tushu, "--init", lib, "--demo"], check=True,
                       stdout=subprocess.DEVNULL)
        today = datetime.date.today()
        db = sqlite3.connect(os.path.join(lib, "book.mdb"))
        title, due = lend(db, "R0001", "B0002", today)
        # Every copy of B0014 out with other readers: a book to reserve.
        copies = db.execute("select 数量 from 图书 where 编号 = 'B0014'").fetchone()[0]
        for i in range(copies):
            lend(db, "R%04d" % (i + 2), "B0014", today)
        db.commit()

        port = free_port()
        server = subprocess.Popen([args.web, "--dir", lib, "--listen", "127.0.0.1:%d" % port],
                                  stdout=subprocess.PIPE, text=True)
        driver = None
        try:
            check("已启动" in server.stdout.readline(), "portal did not start")
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                      "--lang=zh-CN"):
                options.add_argument(a)
            # A phone's screen (headless windows are at least 500 px wide).
            options.add_experimental_option("mobileEmulation", {
                "deviceMetrics": {"width": PHONE[0], "height": PHONE[1], "pixelRatio": 2}})
            driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
            driver.set_page_load_timeout(30)
            run = Run(driver, "http://127.0.0.1:%d" % port, args.out)

            driver.get(run.base + "/")
            check("阳光中学图书馆" in run.text() and "网站公告" in run.text(), "home")
            run.shot("home")

            run.fill("q", "三国")  # two characters of a title
            run.submit("检索")
            check("三国演义" in run.text() and "三国志" in run.text(), "search")
            run.shot("search")

            run.follow("三国志")
            check("在架数量\n0" in run.text(), "item page: " + run.text())
            check("后可以预定" in run.text(), "item asks for a login to reserve")
            run.shot("item")

            run.follow("读者登录")
            run.fill("reader", "R0001")
            run.fill("password", "1234")
            run.shot("login")
            run.submit("登录")
            check(driver.current_url.endswith("/account"), "login leads to the account")
            check(title in run.text() and due.isoformat() in run.text(), "the desk's loan")
            run.shot("account")

            run.submit_for_item("续借", "B0002")
            check("续借完毕!" in run.text(), "renew: " + run.text())
            renewed = due + (due - today)
            check(renewed.isoformat() in run.text(), "renewed due date")
            run.shot("renewed")

            driver.get(run.base + "/item?kind=book&id=B0014")
            run.submit("预定该书")
            check("预定成功" in run.text(), "reserve: " + run.text())
            check("三国志" in run.text(), "the reservation is listed")
            run.shot("reserved")

            run.follow("修改密码")
            run.fill("old", "1234")
            run.fill("new", "5678")
            run.fill("confirm", "5678")
            run.submit("保存")
            check("修改成功！" in run.text(), "password: " + run.text())
            run.shot("password")

            run.submit("退出")
            check("您已退出登录." in run.text(), "logout")
            run.shot("logout")
            driver.get(run.base + "/account")
            check(driver.current_url.endswith("/login"), "after logout the account needs a login")

            # What the desk reads now.
            db = sqlite3.connect(os.path.join(lib, "book.mdb"))
            row = db.execute("select 应还日期 from 借出记录 where 读者编号 = 'R0001' and 编号 = 'B0002'"
                             " and 已还 = '否'").fetchone()
            check(row[0] == renewed.isoformat(), "stored due date %s" % row[0])
            holder = db.execute("select 预定状况 from 图书 where 编号 = 'B0014'").fetchone()[0]
            check(holder == "R0001", "stored reservation %s" % holder)
            pwd = db.execute("select 密码 from 读者库 where 读者编号 = 'R0001'").fetchone()[0]
            check(pwd == "5678", "stored password")
        finally:
            if driver:
                driver.quit()
            server.terminate()
            server.wait(10)
    print("browser test passed; screenshots in", args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
