"""The Indian pictures wired to the command line and the service: both hand
the chart to quorvane.wheel.jyotish_svg with the varga and style asked for."""


def test_the_command_draws_the_varga_asked_for(de440, tmp_path, capsys):
    from quorvane.cli import main
    out = tmp_path / "d9.svg"
    assert main(["jyotish", "1990-07-14 08:30", "28.61", "77.21", "--tz", "Asia/Kolkata",
                 "--kernel", de440, "--svg", "south", "--varga", "D9", "--output",
                 str(out)]) == 0
    assert out.read_text().lstrip().startswith("<svg")
    assert "[panchanga]" in capsys.readouterr().out
    png = tmp_path / "rasi.png"
    assert main(["jyotish", "1990-07-14 08:30", "28.61", "77.21", "--tz", "Asia/Kolkata",
                 "--kernel", de440, "--svg", "north", "--output", str(png)]) == 0
    assert png.read_bytes().startswith(b"\x89PNG\r\n\x1a\n")
    capsys.readouterr()
    assert main(["jyotish", "1990-07-14 08:30", "28.61", "77.21", "--tz", "Asia/Kolkata",
                 "--kernel", de440, "--svg", "north"]) == 0
    assert capsys.readouterr().out.lstrip().startswith("<svg")


def test_the_service_adds_the_picture(chart_service):
    from tests.support.service import Client
    client = Client(chart_service.port)
    try:
        status, answer = client.post("/api/jyotish", {
            "moment": "1990-07-14T03:00:00Z", "latitude": 28.61, "longitude": 77.21,
            "svg": "north", "varga": "D9"})
    finally:
        client.close()
    assert status == 200, answer
    assert answer["svg"].lstrip().startswith("<svg")
    assert answer["vargas"]["D9"]["Lagna"]
