#!/usr/bin/python3
"""Drives the service's web page in headless Chromium, as an operator would.

Run with Debian's /usr/bin/python3 (python3-selenium) and /usr/bin/chromedriver
against a running server whose store holds the passes WebBrowserTest.cpp puts
in it:

    /usr/bin/python3 page_test.py --base http://127.0.0.1:PORT --token TOKEN --out DIR

Signs in, searches, opens a pass, corrects it, finds the correction in the
list and the CSV export, and checks that without the session the page sends
the browser to sign-in and the API answers 401. Saves signin.png, list.png,
pass.png, pass-plot.png and cameras.png into DIR. Exit status 0 when every check holds.
"""
import argparse
import os
import shutil
import sys
import tempfile
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

# What WebBrowserTest.cpp stores: the pass to correct and what it becomes.
MISREAD = "52473068"
RIGHT = "52473063"

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def status_of(url, headers=None):
    request = urllib.request.Request(url, headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=10) as answer:
            return answer.status
    except urllib.error.HTTPError as error:
        return error.code


def browser():
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,900", "--force-device-scale-factor=1", "--lang=en-GB"):
        options.add_argument(argument)
    if os.path.exists("/usr/lib/chromium/chromium"):
        options.binary_location = "/usr/lib/chromium/chromium"
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_for_page(driver, url_holds):
    """Waits until the browser shows a page whose address passes `url_holds`, fully loaded."""
    WebDriverWait(driver, 15, ignored_exceptions=(StaleElementReferenceException,)).until(
        lambda d: url_holds(d.current_url) and d.execute_script("return document.readyState") == "complete")


def rows(driver):
    return driver.find_elements(By.CSS_SELECTOR, "#passes tbody tr")


def search(driver, base, number="", camera=""):
    driver.get(base + "/")
    field = driver.find_element(By.ID, "number")
    field.clear()
    field.send_keys(number)
    Select(driver.find_element(By.ID, "camera")).select_by_value(camera)
    driver.find_element(By.ID, "search").click()
    wait_for_page(driver, lambda url: ("number=%s&camera=%s" % (number, camera)) in url)


def main():
    # Chromium leaves a folder in TMPDIR: one of this run's, removed at its end.
    scratch = tempfile.mkdtemp(prefix="kalvero-page-test-")
    os.environ["TMPDIR"] = scratch
    try:
        return checks()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def checks():
    parser = argparse.ArgumentParser()
    parser.add_argument("--base", required=True)
    parser.add_argument("--token", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    base = args.base.rstrip("/")
    os.makedirs(args.out, exist_ok=True)

    check(status_of(base + "/api/passes") == 401, "the API answers 401 without the token")
    check(status_of(base + "/api/passes", {"Authorization": "Bearer " + args.token}) == 200,
          "the API answers with the token")

    driver = browser()
    try:
        driver.get(base + "/")
        check(driver.current_url.endswith("/signin"), "without the cookie the page sends you to sign-in")

        driver.find_element(By.ID, "token").send_keys("not-the-token")
        driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
        WebDriverWait(driver, 15, ignored_exceptions=(StaleElementReferenceException,)).until(
            lambda d: d.find_elements(By.CSS_SELECTOR, ".message.error"))
        check("not right" in driver.find_element(By.CSS_SELECTOR, ".message.error").text,
              "a wrong token shows the sign-in page again with a message")
        driver.save_screenshot(os.path.join(args.out, "signin.png"))

        driver.find_element(By.ID, "token").send_keys(args.token)
        driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
        wait_for_page(driver, lambda url: not url.endswith("/signin"))
        check(driver.current_url == base + "/", "the right token opens the list")
        cookie = driver.get_cookie("kalvero_session")
        check(cookie is not None and cookie.get("httpOnly") and cookie.get("sameSite") == "Strict",
              "the session cookie is HttpOnly and SameSite=Strict")
        listed = rows(driver)
        check(len(listed) >= 10, "the list shows the passes (%d rows)" % len(listed))
        WebDriverWait(driver, 10).until(
            lambda d: d.execute_script("return Array.from(document.images).every(i => i.complete)"))
        check(len(driver.find_elements(By.CSS_SELECTOR, "#passes .nocrop")) >= 1,
              "the page's script ran: a pass without a crop says so")
        loaded = driver.execute_script(
            "return Array.from(document.querySelectorAll('img.thumb')).filter(i => i.naturalWidth > 0).length")
        check(loaded >= 10, "the crop thumbnails load with the session (%d)" % loaded)
        driver.save_screenshot(os.path.join(args.out, "list.png"))

        search(driver, base, number="4730")
        numbers = [r.find_element(By.CSS_SELECTOR, "td .num").text for r in rows(driver)]
        check(len(numbers) >= 2 and all("4730" in n for n in numbers), "a number search finds only its passes")
        search(driver, base, number="4730", camera="west")
        cameras = [r.find_elements(By.TAG_NAME, "td")[2].text for r in rows(driver)]
        check(len(cameras) >= 1 and all(c == "west" for c in cameras), "a camera search finds only its passes")

        search(driver, base, number=MISREAD)
        found = rows(driver)
        check(len(found) == 1, "the misread number is found once")
        found[0].find_element(By.CSS_SELECTOR, "td a .num").click()
        wait_for_page(driver, lambda url: "/passes/" in url)
        check(len(driver.find_elements(By.CSS_SELECTOR, "svg.plot polyline")) == 1, "the pass shows a score plot")
        check(driver.execute_script("return document.querySelector('img.crop').naturalWidth") > 0,
              "the pass shows its crop")
        check(len(driver.find_elements(By.CSS_SELECTOR, "#frames tbody tr")) >= 3, "the pass lists its frames")

        field = driver.find_element(By.ID, "correction")
        field.clear()
        field.send_keys("5247306")
        check(not driver.execute_script("return arguments[0].checkValidity()", field),
              "the form will not take 7 digits")
        field.clear()
        field.send_keys(RIGHT)
        driver.save_screenshot(os.path.join(args.out, "pass-before.png"))
        driver.find_element(By.ID, "correct").click()
        wait_for_page(driver, lambda url: "corrected=1" in url)
        check("Correction saved." in driver.page_source, "the correction is confirmed")
        note = driver.find_element(By.ID, "correction-note").text
        check(RIGHT in note and MISREAD in note and "UTC" in note, "the pass shows both numbers and when")
        driver.save_screenshot(os.path.join(args.out, "pass.png"))
        driver.execute_script("document.querySelector('svg.plot').scrollIntoView()")
        driver.save_screenshot(os.path.join(args.out, "pass-plot.png"))

        search(driver, base, number=RIGHT)
        found = rows(driver)
        check(len(found) == 1 and RIGHT in found[0].text and MISREAD in found[0].text,
              "the list shows the correction beside the read number")
        csv = driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch(document.getElementById('csv').getAttribute('href')).then(r => r.text()).then(done)")
        check(("," + MISREAD + "," + RIGHT + ",") in csv, "the CSV export carries both numbers")

        driver.get(base + "/cameras")
        check(len(driver.find_elements(By.CSS_SELECTOR, "#cameras tbody tr")) == 3, "the camera status lists 3")
        driver.save_screenshot(os.path.join(args.out, "cameras.png"))

        blocked = [e["message"] for e in driver.get_log("browser") if "Content Security Policy" in e["message"]]
        check(not blocked, "nothing was blocked by the page's own policy " + " ".join(blocked))

        driver.find_element(By.CSS_SELECTOR, "header form button").click()
        wait_for_page(driver, lambda url: url.endswith("/signin"))
        driver.get(base + "/passes/1")
        check(driver.current_url.endswith("/signin"), "after sign-out the page sends you to sign-in")
    finally:
        driver.quit()

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks hold")
    return 0


if __name__ == "__main__":
    sys.exit(main())
