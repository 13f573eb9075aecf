"""Two builds of the module side by side, each in a worker process of its
own: one imports an older build from a directory (put ahead on PYTHONPATH),
the other the build installed here. Tasks go to a worker as JSON lines on
its standard input and answers come back the same way, so that a script can
alternate the calls between the builds under the same load.

A script using it runs itself as the worker (`--worker --kernel PATH`) and
calls `serve` there with a function answering one task.
"""
import json
import os
import subprocess
import sys


def serve(kernel, answer):
    """The worker's loop: names its module, then answers each task line."""
    import quorvane_engine as q

    engine = q.Engine([kernel])
    print(json.dumps(q.__file__), flush=True)
    for line in sys.stdin:
        print(json.dumps(answer(engine, json.loads(line))), flush=True)


class TwoBuilds:
    """The "old" and "new" workers of `script`, started with `kernel`."""

    def __init__(self, script, kernel, old_dir):
        self.workers = {"old": self._spawn(script, kernel, old_dir),
                        "new": self._spawn(script, kernel, None)}
        files = {name: json.loads(p.stdout.readline()) for name, p in self.workers.items()}
        for name, file in files.items():
            print(f"{name}: {file}")
        if files["old"] == files["new"]:
            sys.exit("both workers import the same module: is --old a directory holding a build?")

    @staticmethod
    def _spawn(script, kernel, path):
        env = dict(os.environ)
        if path:
            env["PYTHONPATH"] = path + os.pathsep + env.get("PYTHONPATH", "")
        return subprocess.Popen([sys.executable, script, "--worker", "--kernel", kernel],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)

    def run(self, name, task):
        process = self.workers[name]
        process.stdin.write(json.dumps(task) + "\n")
        process.stdin.flush()
        return json.loads(process.stdout.readline())

    def close(self):
        for process in self.workers.values():
            process.stdin.close()
            process.wait()
