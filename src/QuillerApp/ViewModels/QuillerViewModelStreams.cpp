// The event-stream consoles: Server-Sent Events and the WebSocket.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

#include <exception>

namespace quiller {

void QuillerViewModel::toggleSSEStream() {
    if (m_isSSEStreaming) {
        if (m_sseTask)
            m_sseTask->requestStop();
        m_sseTask.reset();
        // Whatever the stopped stream still reports belongs to no stream now:
        // a late failure must not toast a stop the user asked for.
        ++m_sseGeneration;
        setIsSSEStreaming(false);
        return;
    }

    // A task kept from an earlier stream has ended by now; stopping it anyway
    // guarantees that no two streams ever feed the console.
    if (m_sseTask)
        m_sseTask->requestStop();
    m_sseTask.reset();
    const std::uint64_t generation = ++m_sseGeneration;

    setSseEvents({});
    setIsSSEStreaming(true);
    // Resolved once: later edits of the environment do not reach this stream.
    std::string url = EnvironmentTemplateEngine::interpolate(m_sseURL, activeVariables());

    auto onEvent = [this, generation, post = mainThreadPoster()](SSEStreamEvent event) {
        post([this, generation, event = std::move(event)]() mutable {
            if (generation != m_sseGeneration)
                return;
            // A deque: the newest goes in front without moving the others.
            insertRow(m_sseEvents, Field::sseEvents, 0, std::move(event));
        });
    };
    auto finish = [this, generation] {
        if (generation != m_sseGeneration)
            return false;
        m_sseTask.reset();
        setIsSSEStreaming(false);
        return true;
    };

    m_sseTask = runJob(
        [service = m_ports.requestExecution, url = std::move(url),
         onEvent = std::move(onEvent)](std::stop_token stop) {
            service->streamSSE(url, {}, std::nullopt, TarnHTTPMethod::get, onEvent, stop);
        },
        [finish] { finish(); },
        [this, finish](const JobFailure& failure) {
            if (finish() && !failure.stopRequested)
                showToast(failure.description, true);
        });
}

void QuillerViewModel::toggleWebSocket() {
    if (m_isWSConnected) {
        m_ports.webSocket->disconnect();
        setIsWSConnected(false);
        return;
    }

    const std::string url = EnvironmentTemplateEngine::interpolate(m_wsURL, activeVariables());
    bool connected = false;
    try {
        connected = m_ports.webSocket->connect(url);
    } catch (const std::exception& error) {
        // The client cannot work at all: say why instead of calling the URL bad.
        showToast(failureDescription(error), true);
        return;
    }
    if (connected) {
        setIsWSConnected(true);
        showToast(text("WebSocket connected.", "WebSocket bağlandı."), false);
    } else {
        showToast(text("Invalid WebSocket URL.", "Geçersiz WebSocket adresi."), true);
    }
}

void QuillerViewModel::sendWebSocketMessage() {
    if (!m_isWSConnected || m_wsDraftMessage.empty())
        return;
    const std::string message = m_wsDraftMessage;
    m_ports.webSocket->send(message);
}

} // namespace quiller
