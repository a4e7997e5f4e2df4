"""Checks kalvero-serve's deployment files: every YAML file parses, the
service configurations they carry use only the keys kalvero-serve reads, the
pieces of each deployment refer to one another correctly (names, ports,
paths, users), and the systemd unit passes `systemd-analyze verify` where
systemd is installed.

    python3 tests/deploy/check_deploy_files.py [SOURCE_FOLDER]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml

ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else
                       os.path.join(os.path.dirname(__file__), "..", ".."))
KUBERNETES = os.path.join(ROOT, "deploy", "kubernetes", "kalvero.yaml")
COMPOSE = os.path.join(ROOT, "compose.yaml")
DOCKERFILE = os.path.join(ROOT, "Dockerfile")
UNIT = os.path.join(ROOT, "deploy", "kalvero.service")

TOP_KEYS = {"storage", "http", "cameras", "webhooks"}
HTTP_KEYS = {"listen", "token", "token_file"}
CAMERA_KEYS = {"name", "url", "zone", "engine", "zoom", "digit_height", "depth", "threshold"}
WEBHOOK_KEYS = {"url", "secret"}


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def yaml_files():
    found = [COMPOSE]
    for folder, _, names in os.walk(os.path.join(ROOT, "deploy")):
        found += [os.path.join(folder, n) for n in names if n.endswith((".yaml", ".yml"))]
    return sorted(found)


def kubernetes_objects():
    return [o for o in yaml.safe_load_all(read(KUBERNETES)) if o]


def service_configs():
    """(where, parsed configuration) of every kalvero-serve configuration."""
    configs = [(p, yaml.safe_load(read(p))) for p in
               [os.path.join(ROOT, "deploy", f) for f in ("kalvero.yaml", "docker/kalvero.yaml", "compose/kalvero.yaml")]]
    for o in kubernetes_objects():
        if o["kind"] == "ConfigMap":
            configs.append(("ConfigMap " + o["metadata"]["name"], yaml.safe_load(o["data"]["kalvero.yaml"])))
    return configs


def problems_of_config(config):
    """What kalvero-serve would refuse in `config` (a parsed configuration)."""
    problems = []
    if not isinstance(config, dict):
        return ["not a mapping"]
    problems += ["unknown key " + k for k in set(config) - TOP_KEYS]
    http = config.get("http") or {}
    problems += ["unknown http key " + k for k in set(http) - HTTP_KEYS]
    if ("token" in http) == ("token_file" in http):
        problems.append("http needs exactly one of token and token_file")
    if not re.fullmatch(r"[^:\s]+:\d{1,5}", str(http.get("listen", "127.0.0.1:8080"))):
        problems.append("listen is not host:port")
    cameras = config.get("cameras") or []
    if not cameras:
        problems.append("no camera")
    names = [c.get("name") for c in cameras]
    if None in names or len(set(names)) != len(names):
        problems.append("camera names missing or repeated")
    for camera in cameras:
        problems += ["unknown camera key " + k for k in set(camera) - CAMERA_KEYS]
        if not camera.get("url"):
            problems.append("camera without url")
        zone = camera.get("zone")
        if zone is not None and (len(zone) != 4 or not all(isinstance(v, int) and v >= 0 for v in zone)):
            problems.append("zone is not [x, y, width, height]")
        if camera.get("engine", "learned") not in ("learned", "glyph"):
            problems.append("engine is learned or glyph")
        if not 0.3 <= float(camera.get("zoom", 1.0)) <= 1.0:
            problems.append("zoom out of 0.3..1")
    for webhook in config.get("webhooks") or []:
        problems += ["unknown webhook key " + k for k in set(webhook) - WEBHOOK_KEYS]
        if not re.match(r"https?://[^/\s]+", webhook.get("url", "")):
            problems.append("webhook url is not http(s)")
    return problems


class YamlFiles(unittest.TestCase):
    def test_every_yaml_file_parses(self):
        files = yaml_files()
        self.assertGreaterEqual(len(files), 5)
        for path in files:
            with self.subTest(path=os.path.relpath(path, ROOT)):
                documents = list(yaml.safe_load_all(read(path)))
                self.assertTrue(any(documents))

    def test_service_configurations_use_only_what_the_service_reads(self):
        configs = service_configs()
        self.assertGreaterEqual(len(configs), 5)
        for where, config in configs:
            with self.subTest(config=where):
                self.assertEqual(problems_of_config(config), [])

    def test_the_configuration_check_catches_mistakes(self):
        good = {"http": {"token": "t"}, "cameras": [{"name": "e", "url": "rtsp://c/s"}]}
        self.assertEqual(problems_of_config(good), [])
        for broken in ({"htp": {}}, {"http": {"token": "t", "token_file": "f"}},
                       {"cameras": [{"name": "e", "url": "x", "zome": [0, 0, 1, 1]}]},
                       {"cameras": [{"name": "e", "url": "x"}, {"name": "e", "url": "y"}]},
                       {"cameras": [{"name": "e", "url": "x", "zone": [0, 1, 2]}]},
                       {"webhooks": [{"url": "ftp://x/"}]}):
            with self.subTest(broken=broken):
                self.assertNotEqual(problems_of_config({**good, **broken}), [])


class Kubernetes(unittest.TestCase):
    def setUp(self):
        self.objects = kubernetes_objects()
        self.named = {(o["kind"], o["metadata"]["name"]): o for o in self.objects}
        self.deployments = [o for o in self.objects if o["kind"] == "Deployment"]
        # Secrets are made with kubectl, as the manifest's head says.
        self.secrets = set(re.findall(r"create secret generic (\S+)", read(KUBERNETES)))

    def test_a_deployment_per_camera_group_with_postgresql_behind_a_service(self):
        self.assertGreaterEqual(len(self.deployments), 2)
        self.assertIn(("Service", "kalvero-db"), self.named)
        self.assertIn(("StatefulSet", "kalvero-db"), self.named)
        cameras = [c["name"] for where, config in service_configs() if where.startswith("ConfigMap")
                   for c in config["cameras"]]
        self.assertEqual(len(cameras), len(set(cameras)), "a camera read by two groups is stored twice")
        for d in self.deployments:
            with self.subTest(deployment=d["metadata"]["name"]):
                self.assertEqual(d["spec"]["replicas"], 1)
                self.assertEqual(d["spec"]["strategy"]["type"], "Recreate")

    def test_everything_a_pod_refers_to_exists(self):
        for workload in self.deployments + [self.named[("StatefulSet", "kalvero-db")]]:
            pod = workload["spec"]["template"]["spec"]
            with self.subTest(workload=workload["metadata"]["name"]):
                self.assertEqual(workload["spec"]["selector"]["matchLabels"].items() -
                                 workload["spec"]["template"]["metadata"]["labels"].items(), set())
                for volume in pod.get("volumes", []):
                    if "configMap" in volume:
                        config_map = self.named.get(("ConfigMap", volume["configMap"]["name"]))
                        self.assertIsNotNone(config_map, volume)
                        self.assertIn("kalvero.yaml", config_map["data"])
                    if "secret" in volume:
                        self.assertIn(volume["secret"]["secretName"], self.secrets)
                for container in pod["containers"]:
                    for env in container.get("env", []):
                        if "valueFrom" in env:
                            self.assertIn(env["valueFrom"]["secretKeyRef"]["name"], self.secrets)

    def test_each_service_reaches_a_pod_port(self):
        pods = [o["spec"]["template"] for o in self.objects if o["kind"] in ("Deployment", "StatefulSet")]
        for service in (o for o in self.objects if o["kind"] == "Service"):
            with self.subTest(service=service["metadata"]["name"]):
                selected = [p for p in pods if service["spec"]["selector"].items() <= p["metadata"]["labels"].items()]
                self.assertEqual(len(selected), 1)
                ports = [p for c in selected[0]["spec"]["containers"] for p in c["ports"]]
                for port in service["spec"]["ports"]:
                    self.assertTrue(any(port["targetPort"] in (p.get("name"), p["containerPort"]) for p in ports))

    def test_the_service_listens_where_probes_ask_and_reads_what_is_mounted(self):
        for d in self.deployments:
            pod = d["spec"]["template"]["spec"]
            container = pod["containers"][0]
            mounts = {m["name"]: m["mountPath"] for m in container["volumeMounts"]}
            volumes = {v["name"]: v for v in pod["volumes"]}
            config_path = container["args"][container["args"].index("--config") + 1]
            with self.subTest(deployment=d["metadata"]["name"]):
                config_volume = next(n for n, path in mounts.items() if config_path.startswith(path + "/"))
                config_map = self.named[("ConfigMap", volumes[config_volume]["configMap"]["name"])]
                self.assertEqual(os.path.basename(config_path), "kalvero.yaml")
                config = yaml.safe_load(config_map["data"]["kalvero.yaml"])
                host, port = config["http"]["listen"].rsplit(":", 1)
                self.assertEqual(host, "0.0.0.0")
                self.assertIn(int(port), [p["containerPort"] for p in container["ports"]])
                token = config["http"]["token_file"]
                token_volume = next(n for n, path in mounts.items() if token.startswith(path + "/"))
                self.assertIn("secret", volumes[token_volume])
                self.assertIn("kalvero-db", config["storage"])
                for probe in ("readinessProbe", "livenessProbe"):
                    self.assertEqual(container[probe]["httpGet"]["path"], "/healthz")
                # The image's user, so that the mounted token is readable.
                self.assertEqual(str(pod["securityContext"]["runAsUser"]), dockerfile_user())
                self.assertEqual(pod["securityContext"]["fsGroup"], pod["securityContext"]["runAsUser"])


def dockerfile_user():
    users = re.findall(r"^USER\s+(\S+)", read(DOCKERFILE), re.M)
    return users[-1].split(":")[0] if users else "root"


class Docker(unittest.TestCase):
    def test_built_on_debian_with_the_projects_scripts(self):
        text = read(DOCKERFILE)
        self.assertEqual(set(re.findall(r"^FROM\s+(\S+)", text, re.M)), {"debian:12"})
        self.assertIn("scripts/bootstrap", text)
        self.assertRegex(text, r"--target kalvero-serve")
        for source in re.findall(r"^COPY\s+(?!--from)(\S+)", text, re.M):
            with self.subTest(copy=source):
                self.assertTrue(os.path.exists(os.path.join(ROOT, source)))

    def test_runs_unprivileged_with_its_state_on_a_volume(self):
        text = read(DOCKERFILE)
        self.assertNotIn(dockerfile_user(), ("root", "0"))
        self.assertRegex(text, r"(?m)^VOLUME\s+/var/lib/kalvero$")
        self.assertRegex(text, r"(?m)^EXPOSE\s+8080$")
        config = yaml.safe_load(read(os.path.join(ROOT, "deploy", "docker", "kalvero.yaml")))
        self.assertEqual(config["http"]["listen"], "0.0.0.0:8080")
        self.assertTrue(config["storage"].startswith("/var/lib/kalvero/"))

    def test_runtime_packages_are_found_for_a_program(self):
        script = os.path.join(ROOT, "deploy", "runtime-packages.sh")
        found = subprocess.run(["bash", script, "/bin/ls"], capture_output=True, text=True)
        self.assertEqual(found.returncode, 0, found.stderr)
        self.assertIn("libc6", found.stdout.split())
        refused = subprocess.run(["bash", script, "/no/such/program"], capture_output=True, text=True)
        self.assertEqual(refused.returncode, 2)
        # A library of no package (one built or copied by hand) would be
        # missing from the image: said, and the build stops.
        libc = next(line.split()[2] for line in subprocess.run(["ldd", "/bin/ls"], capture_output=True,
                                                               text=True).stdout.splitlines() if "libc.so" in line)
        with tempfile.TemporaryDirectory() as folder:
            shutil.copy(libc, folder)
            loose = subprocess.run(["bash", script, "/bin/ls"], capture_output=True, text=True,
                                   env={**os.environ, "LD_LIBRARY_PATH": folder})
        self.assertEqual(loose.returncode, 1)
        self.assertIn("no Debian package holds " + os.path.join(folder, os.path.basename(libc)), loose.stderr)


class Compose(unittest.TestCase):
    def setUp(self):
        self.compose = yaml.safe_load(read(COMPOSE))
        self.services = self.compose["services"]

    def test_postgresql_and_the_service_built_here(self):
        self.assertRegex(self.services["db"]["image"], r"^(postgres:15|debian:12)$")
        kalvero = self.services["kalvero"]
        self.assertEqual(kalvero["build"], ".")
        self.assertEqual(kalvero["depends_on"]["db"]["condition"], "service_healthy")
        self.assertTrue(all(p.startswith("127.0.0.1:") for p in kalvero["ports"]), "published beyond the host")

    def test_mounts_secrets_and_storage_agree(self):
        kalvero = self.services["kalvero"]
        defined = set(self.compose.get("secrets", {}))
        for service in self.services.values():
            self.assertLessEqual(set(service.get("secrets", [])), defined)
        mounted = {v.split(":")[1]: v.split(":")[0] for v in kalvero["volumes"]}
        config_file = mounted["/etc/kalvero/kalvero.yaml"]
        self.assertTrue(os.path.isfile(os.path.join(ROOT, config_file)))
        config = yaml.safe_load(read(os.path.join(ROOT, config_file)))
        self.assertRegex(config["storage"], r"^postgres(ql)?://[^@/]+@db/")
        self.assertEqual(config["http"]["token_file"], "/run/secrets/kalvero_token")
        self.assertIn("kalvero_token", kalvero["secrets"])
        self.assertEqual(config["http"]["listen"].rsplit(":", 1)[1], kalvero["ports"][0].rsplit(":", 1)[1])


class Systemd(unittest.TestCase):
    def setUp(self):
        self.text = read(UNIT)
        self.keys = dict(re.findall(r"^(\w+)=(.*)$", self.text, re.M) or [])

    def test_its_own_user_state_and_hardening(self):
        self.assertTrue(self.keys.get("DynamicUser") == "yes" or "User" in self.keys)
        for key, value in (("StateDirectory", "kalvero"), ("Restart", "on-failure"), ("NoNewPrivileges", "yes"),
                           ("ProtectSystem", "strict"), ("ProtectHome", "yes"), ("PrivateTmp", "yes")):
            self.assertEqual(self.keys.get(key), value, key)

    def test_the_configuration_and_token_it_hands_in_are_the_ones_it_reads(self):
        credentials = dict(v.split(":", 1) for v in re.findall(r"^LoadCredential=(.*)$", self.text, re.M))
        self.assertEqual(credentials.get("kalvero.yaml"), "/etc/kalvero/kalvero.yaml")
        self.assertRegex(self.keys["ExecStart"], r" --config %d/kalvero\.yaml$")
        config = yaml.safe_load(read(os.path.join(ROOT, "deploy", "kalvero.yaml")))
        self.assertIn(config["http"]["token_file"], credentials)
        self.assertTrue(config["storage"].startswith("/var/lib/kalvero/"))

    @unittest.skipIf(shutil.which("systemd-analyze") is None, "systemd-analyze is not installed")
    def test_systemd_verifies_it(self):
        # The program is not installed where the unit runs it on this machine:
        # a program that is stands in, the rest of the unit is verified as is.
        with tempfile.TemporaryDirectory() as folder:
            unit = os.path.join(folder, "kalvero.service")
            with open(unit, "w", encoding="utf-8") as f:
                f.write(re.sub(r"(?m)^ExecStart=\S+", "ExecStart=/bin/true", self.text))
            verify = subprocess.run(["systemd-analyze", "verify", "--man=no", unit], capture_output=True, text=True)
            # An unknown or misspelt key is only a warning: any output fails.
            self.assertEqual((verify.returncode, verify.stdout + verify.stderr), (0, ""))


if __name__ == "__main__":
    unittest.main(verbosity=2)
