"""The chart service: the engine over HTTP, with a page to try it.

`quorvane serve` starts it; `quorvane.serve.app.create_app(kernels)` builds
the ASGI application for another server or for tests. Needs the `serve`
extra (FastAPI and uvicorn).
"""
