"""The service's page in a real browser: type a birth, find its wheel and
its planets, then its transits; list a month of the sky's events."""
import pytest

pytest.importorskip("fastapi")
selenium = pytest.importorskip("selenium")

import quorvane_engine as q  # noqa: E402

from tests.support import page  # noqa: E402

pytestmark = pytest.mark.skipif(not page.have_browser(),
                                reason="chromium and chromedriver are not installed")

# 14 July 1990, 08:30 in New York (12:30 UTC), typed as a US-English date
# field takes it.
BIRTH = {"date_keys": "07141990", "time_keys": "0830AM", "place": "New York"}


@pytest.fixture(scope="module")
def server(chart_service):
    chart_service.wait_for_places()
    return chart_service


def test_birth_wheel_tables_and_transits(server, de440, tmp_path):
    from selenium.webdriver.common.by import By

    driver = page.browser()
    try:
        rows = page.cast_birth(driver, server.url, BIRTH)
        from quorvane import places

        city = places.find("New York")
        chart = q.Engine([de440]).chart("1990-07-14T12:30:00Z", city.latitude, city.longitude)
        shown = [r.find_elements(By.TAG_NAME, "td") for r in rows]
        assert [(c[0].text.split()[-1], c[1].text) for c in shown] == \
            [(p["name"].split()[-1], p["sign"]) for p in chart["planets"]]
        wheel = driver.find_elements(By.CSS_SELECTOR, "#wheel svg")
        assert wheel and wheel[0].size["width"] > 200
        assert page.show_transits(driver)
        driver.save_screenshot(str(tmp_path / "page.png"))
        assert (tmp_path / "page.png").stat().st_size > 10_000
        assert driver.find_element(By.ID, "transit-message").text == ""
    finally:
        driver.quit()


def test_sky_events_of_a_month_in_the_visitors_zone(server, de440):
    from selenium.webdriver.common.by import By

    driver = page.browser()
    try:
        driver.get(server.url)
        page.wait_for(driver, "body[data-ready]")
        zone = driver.execute_script("return Intl.DateTimeFormat().resolvedOptions().timeZone")
        driver.find_element(By.ID, "tab-sky").click()
        driver.execute_script("document.querySelector('#sky-form input[name=month]').value"
                              " = '2024-04'")
        driver.find_element(By.CSS_SELECTOR, "#sky-form button[type=submit]").click()
        rows = page.wait_for(driver, "#sky-events tbody tr")
        import quorvane
        expected = quorvane.events("2024-04-01 00:00", "2024-05-01 00:00", tz=zone,
                                   engine=q.Engine([de440]),
                                   kinds=["eclipses", "lunations", "ingresses", "stations",
                                          "phenomena"])["events"]
        shown = [[c.text for c in r.find_elements(By.TAG_NAME, "td")] for r in rows]
        assert [s[0] for s in shown] == [e["local_time"][:16].replace("T", " ") for e in expected]
        assert any(s[1] == "total solar eclipse" for s in shown)
        assert driver.find_element(By.ID, "sky-message").text == ""
    finally:
        driver.quit()


def test_place_suggestions_as_one_types(server):
    """Cut names and near misses are suggested under the field, in the
    service's order, and a suggestion is taken with the keyboard."""
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait

    from quorvane import places

    driver = page.browser()
    try:
        driver.get(server.url)
        page.wait_for(driver, "body[data-ready]")
        field = "#birth-form input[name=place]"
        for text in ("Lond", "New Yrok", "Munchen"):
            page.type_into(driver, field, text)
            expected = [p.label for p in places.search(text, 8)]
            WebDriverWait(driver, 30).until(lambda d: [
                item.text for item in d.find_elements(By.CSS_SELECTOR,
                                                      "#birth-form .suggestions li")] == expected)
        driver.find_element(By.CSS_SELECTOR, field).send_keys(Keys.ARROW_DOWN, Keys.ENTER)
        assert driver.find_element(By.CSS_SELECTOR, field).get_attribute("value") == \
            places.find("Munich").label
        assert not driver.find_element(By.CSS_SELECTOR, "#birth-form .suggestions").is_displayed()
    finally:
        driver.quit()


def test_directions_and_releasing_of_the_birth(server, de440):
    from selenium.webdriver.common.by import By

    driver = page.browser()
    try:
        page.cast_birth(driver, server.url, BIRTH)
        driver.find_element(By.ID, "tab-timing").click()
        driver.find_element(By.CSS_SELECTOR, "#timing-form button[type=submit]").click()
        page.wait_for(driver, "#timing-releasing tbody tr")
        from quorvane import places

        city = places.find("New York")
        engine = q.Engine([de440])
        birth = ("1990-07-14T12:30:00Z", city.latitude, city.longitude)
        directed = engine.primary_directions(
            *birth, end_age=90, significators=["Ascendant", "Midheaven", "Sun", "Moon"],
            families=["planets", "aspects"])["directions"]
        released = engine.zodiacal_releasing(*birth, birth[0], "2080-07-14T00:00:00Z",
                                             levels=2)["periods"]

        def table(name):
            rows = driver.find_elements(By.CSS_SELECTOR, f"#{name} tbody tr")
            return [[c.text for c in r.find_elements(By.TAG_NAME, "td")] for r in rows]

        assert [(r[0], r[1], r[3]) for r in table("timing-directions")] == \
            [(f"{d['age']:.2f}", d["date"][:10], d["significator"]) for d in directed]
        shown = table("timing-releasing")
        assert [(r[1], r[3]) for r in shown] == \
            [(p["sign"], p["start"][:10]) for p in released[:len(shown)]]
        assert len(shown) >= len(released) - 3
        assert driver.find_element(By.ID, "timing-message").text == ""
    finally:
        driver.quit()
