# An SMTP server on 127.0.0.1 for the delivery tests (Debian's
# python3-aiosmtpd): keeps each mail as N.eml, "MAIL FROM ...", "RCPT TO ..."
# and then the data as received; refuses every recipient whose address
# starts with "refuse@" (550), answers 450 to one that starts with "busy@",
# and never answers for one that starts with "silent@". Usage: smtp_receiver.py PORT FOLDER [CERT KEY], with
# CERT and KEY on TLS from the first byte.
import asyncio
import os
import ssl
import sys
import time

from aiosmtpd.controller import Controller

port, folder = int(sys.argv[1]), sys.argv[2]
os.makedirs(folder, exist_ok=True)


class Handler:
    count = 0

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith('silent@'):
            await asyncio.sleep(3600)
        if address.startswith('refuse@'):
            return '550 5.1.1 <%s>: no such mailbox here' % address
        if address.startswith('busy@'):
            return '450 4.2.1 <%s>: mailbox busy, try later' % address
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        Handler.count += 1
        head = 'MAIL FROM %s\nRCPT TO %s\n' % (envelope.mail_from, ','.join(envelope.rcpt_tos))
        with open(os.path.join(folder, '%d.eml' % Handler.count), 'wb') as f:
            f.write(head.encode() + envelope.original_content)
        return '250 OK'


tls = None
if len(sys.argv) > 4:
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(sys.argv[3], sys.argv[4])
controller = Controller(Handler(), hostname='127.0.0.1', port=port, ssl_context=tls)
controller.start()
open(os.path.join(folder, 'ready'), 'w').close()
while True:
    time.sleep(60)
