# kalvero-serve in a container, built on Debian 12 with the project's own
# scripts. Build and run (docs/service.md has the details):
#   docker build -t kalvero-serve .
#   head -c 32 /dev/urandom | base64 > token
#   docker run -d --name kalvero -p 127.0.0.1:8080:8080 \
#     -v kalvero-state:/var/lib/kalvero \
#     -v "$PWD/kalvero.yaml:/etc/kalvero/kalvero.yaml:ro" \
#     -v "$PWD/token:/run/secrets/kalvero_token:ro" kalvero-serve

# The build stage: the packages scripts/bootstrap installs, then the service.
FROM debian:12 AS build
ENV DEBIAN_FRONTEND=noninteractive
WORKDIR /src
COPY scripts/bootstrap scripts/bootstrap
RUN bash scripts/bootstrap && rm -rf /var/lib/apt/lists/*
COPY . .
RUN cmake -S . -B /build -DCMAKE_BUILD_TYPE=Release \
      -DKALVERO_BUILD_GUI=OFF -DKALVERO_BUILD_TESTS=OFF -DKALVERO_BUILD_BENCH=OFF \
 && cmake --build /build -j"$(nproc)" --target kalvero-serve \
 && bash deploy/runtime-packages.sh /build/kalvero-serve > /build/runtime-packages

# The runtime stage: the program and the Debian packages of the libraries
# it links (its recognition model is built into it), nothing to build with.
FROM debian:12
ENV DEBIAN_FRONTEND=noninteractive
COPY --from=build /build/runtime-packages /usr/local/share/kalvero/runtime-packages
RUN apt-get update \
 && xargs -a /usr/local/share/kalvero/runtime-packages apt-get install -y --no-install-recommends ca-certificates \
 && rm -rf /var/lib/apt/lists/* \
 && groupadd --system --gid 10001 kalvero \
 && useradd --system --uid 10001 --gid kalvero --home-dir /var/lib/kalvero --shell /usr/sbin/nologin kalvero \
 && install -d -m 0700 -o kalvero -g kalvero /var/lib/kalvero \
 && install -d -m 0755 /etc/kalvero
COPY --from=build /build/kalvero-serve /usr/local/bin/kalvero-serve
COPY deploy/docker/kalvero.yaml /etc/kalvero/kalvero.yaml

# A user of its own (a fixed id, so an orchestrator can check it is not root).
USER 10001:10001
# The SQLite database (the default storage) lives here: keep it on a volume.
VOLUME /var/lib/kalvero
EXPOSE 8080
# SIGTERM stops the cameras after the passes they held are stored.
STOPSIGNAL SIGTERM
ENTRYPOINT ["/usr/local/bin/kalvero-serve"]
CMD ["--config", "/etc/kalvero/kalvero.yaml"]
