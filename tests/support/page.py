"""The service's page in headless Chromium (Debian's, through its own
chromedriver), filled in as a person would."""
from __future__ import annotations

import os
import shutil

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"


def have_browser() -> bool:
    return os.path.exists(CHROMIUM) and os.path.exists(DRIVER)


def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--window-size=1280,1400", "--lang=en-US", "--hide-scrollbars"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(DRIVER), options=options)


def wait_for(driver, css: str, count: int = 1, seconds: float = 60):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    return WebDriverWait(driver, seconds).until(
        lambda d: len(d.find_elements(By.CSS_SELECTOR, css)) >= count
        and d.find_elements(By.CSS_SELECTOR, css))


def type_into(driver, css: str, text: str):
    from selenium.webdriver.common.by import By

    field = driver.find_element(By.CSS_SELECTOR, css)
    field.clear()
    field.send_keys(text)


def cast_birth(driver, url: str, birth: dict):
    """Open the page, type `birth` (date as MMDDYYYY keys, time as HHMM,
    then a place name or coordinates) and submit it."""
    from selenium.webdriver.common.by import By

    driver.get(url)
    wait_for(driver, "body[data-ready]")
    type_into(driver, "#birth-form input[name=date]", birth["date_keys"])
    type_into(driver, "#birth-form input[name=time]", birth["time_keys"])
    if "place" in birth and driver.find_element(By.CSS_SELECTOR, ".place-field").is_displayed():
        type_into(driver, "#birth-form input[name=place]", birth["place"])
    else:
        details = driver.find_element(By.ID, "coordinates")
        if details.get_attribute("open") is None:
            details.find_element(By.TAG_NAME, "summary").click()
        type_into(driver, "#birth-form input[name=latitude]", str(birth["latitude"]))
        type_into(driver, "#birth-form input[name=longitude]", str(birth["longitude"]))
        if birth.get("tz"):
            type_into(driver, "#birth-form input[name=tz]", birth["tz"])
    driver.find_element(By.CSS_SELECTOR, "#birth-form button[type=submit]").click()
    return wait_for(driver, "#planets tbody tr", 10)


def show_transits(driver):
    from selenium.webdriver.common.by import By

    driver.find_element(By.ID, "tab-transit").click()
    driver.find_element(By.CSS_SELECTOR, "#transit-form button[type=submit]").click()
    return wait_for(driver, "#cross-aspects tbody tr")
